// TVxXIniReader: the read interface of x-ini documents.
//
// A cursor over the document's sections: the current section (the root at
// first) and the current level (0 = root, each OpenSection adds 1). Items are
// addressed by index within the current section; Find turns a name into an
// index. Every getter has an optional form, which answers with the caller's
// default (or 0, false, empty) when the item is missing or does not convert,
// and a required form, which raises Mirelta::TVxMessage 31020 naming the
// stream and the item's path. Getters never move the cursor.
//
//     unsigned level = reader.OpenSectionRequired("general");
//     int32_t count = reader.GetInt(reader.Find("count"), 0);
//     reader.CloseSection(level);
//
// Pass indexes as unsigned values (0u): a plain 0 would also match the
// overloads that take a name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/var_a.h"
#include "xini/VxXIniFormat.h"

const unsigned VxXIniNotFound = 0xFFFFFFFF;

class TVxXIniReader {
public:
    virtual ~TVxXIniReader();

    // Number of items of the current section.
    virtual unsigned Count() = 0;
    virtual unsigned CountRequired() = 0;
    // Number of items whose name equals the bytes exactly.
    virtual unsigned CountByName(const char *name, size_t nameLength) = 0;
    virtual unsigned CountByNameRequired(const char *name, size_t nameLength) = 0;
    // Index of the first item with that name at or after start; VxXIniNotFound
    // when none (the required form raises instead).
    virtual unsigned Find(const char *name, size_t nameLength, unsigned start) = 0;
    virtual unsigned FindRequired(const char *name, size_t nameLength, unsigned start) = 0;
    virtual bool Exists(unsigned index) = 0;
    virtual bool ExistsRequired(unsigned index) = 0;
    // VxXIniNone when absent.
    virtual TE_VxXIniItemType GetType(unsigned index) = 0;
    virtual TE_VxXIniItemType GetTypeRequired(unsigned index) = 0;
    // The name as stored (UTF-8); empty when unnamed or absent.
    virtual std::string GetName(unsigned index) = 0;
    virtual std::string GetNameRequired(unsigned index) = 0;
    // Enters a section item: returns the new level, 0 when it is not one.
    virtual unsigned OpenSection(unsigned index) = 0;
    virtual unsigned OpenSectionRequired(unsigned index) = 0;
    // Returns to the section that was current before the OpenSection that
    // returned level; false for level 0 or a level above the current one.
    virtual bool CloseSection(unsigned level) = 0;
    virtual void CloseSectionRequired(unsigned level) = 0;
    // Numbers. A section item stands for its first item.
    virtual int32_t GetInt(unsigned index, int32_t defaultValue) = 0;
    virtual int32_t GetIntRequired(unsigned index) = 0;
    virtual uint32_t GetUInt(unsigned index, uint32_t defaultValue) = 0;
    virtual uint32_t GetUIntRequired(unsigned index) = 0;
    virtual int64_t GetInt64(unsigned index, int64_t defaultValue) = 0;
    virtual int64_t GetInt64Required(unsigned index) = 0;
    virtual uint64_t GetUInt64(unsigned index, uint64_t defaultValue) = 0;
    virtual uint64_t GetUInt64Required(unsigned index) = 0;
    virtual double GetDouble(unsigned index, double defaultValue) = 0;
    virtual double GetDoubleRequired(unsigned index) = 0;
    // Text in the system code page; a section gives the values below it,
    // depth-first, joined without separators.
    virtual std::string GetText(unsigned index, const std::string &defaultValue) = 0;
    virtual std::string GetTextRequired(unsigned index) = 0;
    // The decoded bytes of a binary item.
    virtual std::string GetBinary(unsigned index, const std::string &defaultValue) = 0;
    virtual std::string GetBinaryRequired(unsigned index) = 0;
    // A section as a document of its own (header style 0); empty on failure.
    virtual std::string GetSectionXml(unsigned index) = 0;
    virtual std::string GetSectionXmlRequired(unsigned index) = 0;
    // A copy of a section's items; an empty tree when it is not a section.
    virtual VTVxXIniTree GetSectionTree(unsigned index) = 0;
    virtual VTVxXIniTree GetSectionTreeRequired(unsigned index) = 0;
    // The first two (three) values of a section; the result counts the values
    // read before the first missing or unconvertible one.
    virtual unsigned GetPoint2(unsigned index, double &x, double &y) = 0;
    virtual void GetPoint2Required(unsigned index, double &x, double &y) = 0;
    virtual unsigned GetPoint3(unsigned index, double &x, double &y, double &z) = 0;
    virtual void GetPoint3Required(unsigned index, double &x, double &y, double &z) = 0;
    // The document's error flag: the load or a later section parse failed.
    virtual bool IsBroken();
    // Raises 31020 with the path of the item at index and text as the detail.
    [[noreturn]] virtual void RaiseItemError(unsigned index, const std::string &text) = 0;

    // Forms that take a zero-terminated name.
    unsigned Find(const char *name, unsigned start = 0);
    unsigned FindRequired(const char *name, unsigned start = 0);
    unsigned Find(const std::string &name, unsigned start = 0);
    unsigned FindRequired(const std::string &name, unsigned start = 0);
    unsigned OpenSection(const char *name);
    unsigned OpenSectionRequired(const char *name);
    unsigned OpenSection(const std::string &name);
    unsigned OpenSectionRequired(const std::string &name);

    bool GetBool(unsigned index, bool defaultValue);
    bool GetBoolRequired(unsigned index);
};
