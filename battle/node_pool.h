// Free lists for the battle's list nodes (beams, missiles, smoke puffs), so a
// running battle stops allocating once the lists have reached their size.
#pragma once

template <class Node> struct NodePool {
    Node* spare = nullptr;

    // A node as fresh as `new Node()`.
    Node* take() {
        if (!spare) return new Node();
        Node* node = spare;
        spare = node->next;
        *node = Node();
        return node;
    }
    void give(Node* node) {
        node->next = spare;
        spare = node;
    }
    // Walks the spare list; for soak runs and tests.
    long spareCount() const {
        long count = 0;
        for (const Node* node = spare; node; node = node->next)
            ++count;
        return count;
    }
    // Frees the spare nodes.
    void clear() {
        while (Node* node = spare) {
            spare = node->next;
            delete node;
        }
    }
    ~NodePool() { clear(); }
};
