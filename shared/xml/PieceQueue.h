// CPieceQueue: hands the pieces of a stream (an answer as it comes off the
// wire) from the thread that receives them to the thread that reads them,
// through a fixed ring of buffers, so that neither copies nor allocates per
// piece and the receiver runs at most a ring ahead of the reader.
//
// One thread puts, one takes. The receiver asks for Room, fills it, Puts
// it, and finally Ends the stream; the reader Takes pieces in order until
// the end. Either side may give up: the reader by Stop (the receiver then
// gets no more room), the receiver by an End that is not complete.
//
// A side is woken only when it waits: at wire speed each piece would
// otherwise cost a wake of the other thread.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>
#include <windows.h>

class CPieceQueue {
public:
    CPieceQueue(size_t pieces, size_t pieceSize);
    CPieceQueue(const CPieceQueue&) = delete;
    CPieceQueue& operator=(const CPieceQueue&) = delete;

    // Whether the buffers could be had.
    bool IsReady() const { return m_memory != nullptr; }

    // The receiver: the next buffer to fill, waiting while every one is
    // still to be read; null once the reader has stopped or the stream has
    // ended.
    BYTE* Room();
    // The buffer Room gave now holds count bytes (0 puts nothing).
    void Put(size_t count);
    // No more pieces; complete when the stream ended where it should.
    void End(bool complete);

    // The reader: the next piece, valid until the next Take or Stop,
    // waiting while none has come; false at the end.
    bool Take(const BYTE*& data, size_t& size);
    // Whether the stream ended complete (once Take said false).
    bool Complete() const;
    // The reader reads no more: the receiver's Room says so from now on.
    void Stop();

private:
    struct Piece {
        BYTE* data;
        size_t size;
    };

    // The lock, held for a scope.
    class CHold {
    public:
        explicit CHold(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
        ~CHold() { ReleaseSRWLockExclusive(&m_lock); }
        CHold(const CHold&) = delete;
        CHold& operator=(const CHold&) = delete;

    private:
        SRWLOCK& m_lock;
    };

    // Both sides' news, under the lock.
    void WakeBoth();

    mutable SRWLOCK m_lock = SRWLOCK_INIT;
    CONDITION_VARIABLE m_forReceiver = CONDITION_VARIABLE_INIT;
    CONDITION_VARIABLE m_forReader = CONDITION_VARIABLE_INIT;
    std::unique_ptr<BYTE[]> m_memory;
    std::vector<Piece> m_ring;
    size_t m_first = 0;     // the oldest piece put and not yet given back
    size_t m_filled = 0;    // pieces put, the one the reader holds among them
    bool m_holding = false; // the reader holds the oldest piece
    bool m_receiverWaits = false;
    bool m_readerWaits = false;
    bool m_ended = false;
    bool m_complete = false;
    bool m_stopped = false;
};
