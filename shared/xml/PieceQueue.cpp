#include "shared/xml/PieceQueue.h"

#include <new>

CPieceQueue::CPieceQueue(size_t pieces, size_t pieceSize)
    : m_memory(new (std::nothrow) BYTE[pieces * pieceSize])
{
    if (!m_memory)
        return;
    m_ring.reserve(pieces);
    for (size_t i = 0; i < pieces; ++i)
        m_ring.push_back({m_memory.get() + i * pieceSize, 0});
}

BYTE* CPieceQueue::Room()
{
    CHold hold(m_lock);
    while (!m_stopped && !m_ring.empty() && m_filled == m_ring.size()) {
        m_receiverWaits = true;
        SleepConditionVariableSRW(&m_forReceiver, &m_lock, INFINITE, 0);
    }
    m_receiverWaits = false;
    if (m_stopped || m_ended || m_ring.empty())
        return nullptr;
    return m_ring[(m_first + m_filled) % m_ring.size()].data;
}

void CPieceQueue::Put(size_t count)
{
    if (count == 0)
        return;
    CHold hold(m_lock);
    if (m_stopped || m_ended || m_filled >= m_ring.size())
        return;
    m_ring[(m_first + m_filled) % m_ring.size()].size = count;
    ++m_filled;
    if (m_readerWaits)
        WakeConditionVariable(&m_forReader);
}

void CPieceQueue::End(bool complete)
{
    CHold hold(m_lock);
    if (m_ended)
        return;
    m_ended = true;
    m_complete = complete;
    WakeBoth();
}

bool CPieceQueue::Take(const BYTE*& data, size_t& size)
{
    CHold hold(m_lock);
    if (m_holding) {
        m_holding = false;
        m_first = (m_first + 1) % m_ring.size();
        --m_filled;
        if (m_receiverWaits)
            WakeConditionVariable(&m_forReceiver);
    }
    // An incomplete end is a stream given up: what is still queued of it
    // is not worth reading.
    while (!m_stopped && m_filled == 0 && !m_ended) {
        m_readerWaits = true;
        SleepConditionVariableSRW(&m_forReader, &m_lock, INFINITE, 0);
    }
    m_readerWaits = false;
    if (m_stopped || m_filled == 0 || (m_ended && !m_complete))
        return false;
    data = m_ring[m_first].data;
    size = m_ring[m_first].size;
    m_holding = true;
    return true;
}

bool CPieceQueue::Complete() const
{
    CHold hold(m_lock);
    return m_ended && m_complete && !m_stopped;
}

void CPieceQueue::Stop()
{
    CHold hold(m_lock);
    m_stopped = true;
    WakeBoth();
}

void CPieceQueue::WakeBoth()
{
    WakeAllConditionVariable(&m_forReceiver);
    WakeAllConditionVariable(&m_forReader);
}
