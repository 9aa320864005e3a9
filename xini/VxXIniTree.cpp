#include "xini/VxXIniTree.h"

#include <utility>

#include "xini/VxXIniFormat.h"

VTVxXIniTree MakeVxXIniTree()
{
    return make_var_a<TVxXIniTree>();
}

// A deep chain of sections would release itself recursively, one level of
// destructor calls per level of the chain. Instead, the child holders are
// taken out and released from a list: a tree whose last holder is the one in
// the list gives up its own children to the list before it goes, so every
// tree is destroyed with no children left in it.
TVxXIniTree::~TVxXIniTree()
{
    std::vector<VTVxXIniTree> pending;
    for (TItem &item : items_)
        if (item.child.item())
            pending.push_back(std::move(item.child));
    while (!pending.empty()) {
        VTVxXIniTree tree = std::move(pending.back());
        pending.pop_back();
        // Only the last holder may strip the tree; others still see it whole.
        if (tree.item()->count == 1) {
            for (TItem &item : tree->items_)
                if (item.child.item())
                    pending.push_back(std::move(item.child));
        }
    }
}

void TVxXIniTree::Reserve()
{
    if (items_.capacity() < 4)
        items_.reserve(4);
}

VTVxXIniTree TVxXIniTree::AddSection(const std::string &name)
{
    Reserve();
    VTVxXIniTree child = MakeVxXIniTree();
    items_.emplace_back(VxXIniSection, name, std::string());
    items_.back().child = child;
    return child;
}

TVxXIniTree::TItem *TVxXIniTree::AddItem(unsigned char type, const std::string &name, const std::string &value)
{
    Reserve();
    items_.emplace_back(type, name, value);
    return &items_.back();
}
