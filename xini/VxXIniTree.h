// TVxXIniTree: an in-memory copy of an x-ini section that owns its strings.
//
// Every item keeps its type, its name and its value text as the document holds
// them (UTF-8, binary values as base64 text); a section item carries its own
// child tree. Trees are created, returned and nested through VTVxXIniTree
// holders, so a child tree taken from an item lives as long as any holder of
// it, also after its parent is gone. A reader fills a tree from a section
// (TVxXIniReader::GetSectionTree) and a writer writes one back
// (TVxXIniWriter::MergeXIni, WriteSectionTree): a section can be carried from
// one document into another.
//
// Releasing a tree never recurses: however deep a chain of sections is, the
// destructor takes it apart with a loop.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "foundation/var_a.h"

class TVxXIniTree {
public:
    struct TItem {
        unsigned char type;  // TE_VxXIniItemType; 0 for a default item
        std::string name;    // UTF-8 bytes as in the document
        std::string value;   // value text; base64 for binary items; empty for sections
        VTVxXIniTree child;  // the child tree of a section item; empty for value items

        TItem() : type(0) {}
        TItem(unsigned char itemType, const std::string &itemName, const std::string &itemValue)
            : type(itemType), name(itemName), value(itemValue)
        {
        }

        // The child tree of a section item (the item must have one).
        TVxXIniTree &Child() const { return *child; }
    };

    TVxXIniTree() = default;
    TVxXIniTree(const TVxXIniTree &) = default;
    TVxXIniTree &operator=(const TVxXIniTree &) = default;
    ~TVxXIniTree();

    size_t Count() const { return items_.size(); }
    // The item at an index below Count (not checked).
    TItem &Item(size_t index) { return items_[index]; }
    const TItem &Item(size_t index) const { return items_[index]; }

    // Appends a section item with a new empty child tree and returns a holder
    // of the child.
    VTVxXIniTree AddSection(const std::string &name);
    // Appends a value item; the pointer stays valid until the next append.
    TItem *AddItem(unsigned char type, const std::string &name, const std::string &value);

private:
    void Reserve();

    std::vector<TItem> items_;
};

// A holder of a new empty tree (object and count in one block).
VTVxXIniTree MakeVxXIniTree();
