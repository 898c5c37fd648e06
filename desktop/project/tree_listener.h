// What the contents tree tells a part that keeps its own view of the nodes (the download
// engine's frontier): nodes linked in, and changes of shape after which that view is rebuilt.
#pragma once

class CVQDocNode;

class CVQTreeListener {
public:
    virtual ~CVQTreeListener() = default;
    // A node was linked, under the tree lock. appended: it became its parent's last child, so
    // that the positions of the nodes already there did not change.
    virtual void NodeAdded(CVQDocNode& node, bool appended) = 0;
    // Nodes were unlinked, moved or replaced, under the tree lock (removals also hold the queue
    // lock); node pointers taken before may be gone.
    virtual void TreeReshaped() = 0;
};
