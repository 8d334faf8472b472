#include "mime/mime_part_list.h"

void MimePartList::Append(MimePart* part) {
    Node& node = m_nodes.emplace_back();
    node.part = part;
    if (m_head == nullptr) {
        node.next = &node;
        node.previous = &node;
        m_head = &node;
    } else {
        node.previous = m_tail;
        node.next = m_head;
        m_tail->next = &node;
        m_head->previous = &node;
    }
    m_tail = &node;
    ++m_count;
}
