// The parser's list of parts: circular, doubly linked, in the order the parts were found.
#pragma once

#include <cstdint>
#include <deque>

#include "mime/mime_part.h"

class MimePartList {
public:
    struct Node {
        Node* next = nullptr;
        Node* previous = nullptr;
        MimePart* part = nullptr;
    };

    MimePartList() = default;
    // Frees the nodes only: the parts belong to the parser.
    virtual ~MimePartList() = default;
    MimePartList(const MimePartList&) = delete;
    MimePartList& operator=(const MimePartList&) = delete;

    // Links a node for part after the tail; the first node is its own next and previous.
    void Append(MimePart* part);

    int32_t GetCount() const { return m_count; }
    const Node* Head() const { return m_head; }
    const Node* Tail() const { return m_tail; }
    // The node after node, or null once the tail has been passed.
    const Node* After(const Node* node) const {
        return node == nullptr || node == m_tail ? nullptr : node->next;
    }

private:
    int32_t m_count = 0;
    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    std::deque<Node> m_nodes;  // stable addresses, released with the list
};
