// CTypedPtrList: an ordered list of pointers that owns its elements. The
// destructor and RemoveAll delete what is still in the list; RemoveHead,
// RemoveTail and RemoveAt hand the element (and its ownership) back.
// A list made with Ownership::Borrowed only refers to elements owned elsewhere.
#pragma once

struct __POSITION;
using POSITION = __POSITION*;

enum class Ownership { Owned, Borrowed };

template <class T>
class CTypedPtrList {
public:
    explicit CTypedPtrList(int blockSize = 10, Ownership ownership = Ownership::Owned)
        : m_ownership(ownership)
    {
        (void)blockSize; // nodes are allocated one by one; kept for its callers
    }
    explicit CTypedPtrList(Ownership ownership) : m_ownership(ownership) {}
    CTypedPtrList(const CTypedPtrList&) = delete;
    CTypedPtrList& operator=(const CTypedPtrList&) = delete;
    ~CTypedPtrList() { RemoveAll(); }

    int GetCount() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }

    POSITION AddHead(T* item) { return ToPos(Link(nullptr, m_head, item)); }
    POSITION AddTail(T* item) { return ToPos(Link(m_tail, nullptr, item)); }

    T* GetHead() const { return m_head ? m_head->item : nullptr; }
    T* GetTail() const { return m_tail ? m_tail->item : nullptr; }

    T* RemoveHead() { return m_head ? Unlink(m_head) : nullptr; }
    T* RemoveTail() { return m_tail ? Unlink(m_tail) : nullptr; }

    // Deletes every element the list owns and empties it.
    void RemoveAll()
    {
        while (m_head) {
            T* item = Unlink(m_head);
            if (m_ownership == Ownership::Owned)
                delete item;
        }
    }

    POSITION GetHeadPosition() const { return ToPos(m_head); }
    POSITION GetTailPosition() const { return ToPos(m_tail); }

    // Returns the element at pos and moves pos on (null after the last).
    T* GetNext(POSITION& pos) const
    {
        Node* node = FromPos(pos);
        pos = ToPos(node->next);
        return node->item;
    }

    T* GetPrev(POSITION& pos) const
    {
        Node* node = FromPos(pos);
        pos = ToPos(node->prev);
        return node->item;
    }

    T* GetAt(POSITION pos) const { return FromPos(pos)->item; }
    void SetAt(POSITION pos, T* item) { FromPos(pos)->item = item; }

    // Takes the element out of the list and returns it; the caller owns it.
    T* RemoveAt(POSITION pos) { return Unlink(FromPos(pos)); }

    POSITION InsertBefore(POSITION pos, T* item)
    {
        Node* at = FromPos(pos);
        return ToPos(Link(at->prev, at, item));
    }

    POSITION InsertAfter(POSITION pos, T* item)
    {
        Node* at = FromPos(pos);
        return ToPos(Link(at, at->next, item));
    }

    POSITION Find(const T* item) const
    {
        for (Node* node = m_head; node; node = node->next) {
            if (node->item == item)
                return ToPos(node);
        }
        return nullptr;
    }

    POSITION FindIndex(int index) const
    {
        Node* node = m_head;
        for (; node && index > 0; --index)
            node = node->next;
        return index == 0 ? ToPos(node) : nullptr;
    }

private:
    struct Node {
        Node* prev;
        Node* next;
        T* item;
    };

public:
    class Iterator {
    public:
        explicit Iterator(const void* node) : m_node(static_cast<const Node*>(node)) {}
        T* operator*() const { return m_node->item; }
        Iterator& operator++()
        {
            m_node = m_node->next;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return m_node != other.m_node; }

    private:
        const Node* m_node;
    };

    // Range-for over the elements (not their ownership).
    Iterator begin() const { return Iterator(m_head); }
    Iterator end() const { return Iterator(nullptr); }

private:
    static POSITION ToPos(Node* node) { return reinterpret_cast<POSITION>(node); }
    static Node* FromPos(POSITION pos) { return reinterpret_cast<Node*>(pos); }

    Node* Link(Node* prev, Node* next, T* item)
    {
        Node* node = new Node{prev, next, item};
        (prev ? prev->next : m_head) = node;
        (next ? next->prev : m_tail) = node;
        ++m_count;
        return node;
    }

    T* Unlink(Node* node)
    {
        (node->prev ? node->prev->next : m_head) = node->next;
        (node->next ? node->next->prev : m_tail) = node->prev;
        T* item = node->item;
        delete node;
        --m_count;
        return item;
    }

    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    int m_count = 0;
    Ownership m_ownership;
};
