// Mirelta::TVxMessage: the one exception class of the program.
//
// A message is a format text (a literal, or a string-table text fetched by
// number) and an ordered list of typed parameters appended with operator<<.
// Its text is built on every request by expanding "%1%", "%2%"... with the
// parameters' texts, "%*%" with all of them joined by ", " and "%%" with a
// percent sign; a number beyond the last parameter prints "???". A zero byte
// in the result shows as "{@u0}", so that no text is cut short. A message can
// be the parameter of another, so a handler wraps what it caught without
// losing the inner text. Copies share one body: a parameter appended through
// any copy shows in all of them. Bodies are counted without locks: messages
// belong to one thread.
//
// Texts that start with "@" are internal and control-flow messages; they are
// written as literals and never looked up in the string table.
//
//     throw Mirelta::TVxMessage(31027) << fileName;
//     catch (...) { ShowError((Mirelta::TVxMessage(30021) << CurrentExceptionToMessage()).Text()); }
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace Mirelta {

class TVxMessage;

namespace VxMessageHelpers {

// One typed parameter of a message.
class TVxMessageParameter {
public:
    // The parameter's text; every kind ignores the format argument.
    virtual std::string Text(const std::string &format) const = 0;
    virtual ~TVxMessageParameter() {}
};

typedef std::vector<TVxMessageParameter *> TVxMessageParameterList;

// The shared body of a message and its copies.
struct TVxMessageBody {
    std::uint32_t count;
    std::string format;
    TVxMessageParameterList parameters; // owned, in append order
    std::string formatted;              // last built text; what() points into it

    explicit TVxMessageBody(const std::string &formatText) : count(1), format(formatText) {}
    ~TVxMessageBody();
    TVxMessageBody(const TVxMessageBody &) = delete;
    TVxMessageBody &operator=(const TVxMessageBody &) = delete;
};

// Placeholder expansion of a format text over a parameter list.
std::string FormatVxMessage(const std::string &format, const TVxMessageParameterList &parameters);

// Rebuilds body->formatted; false when formatting threw (the old text stays).
bool BuildMessageText(TVxMessageBody *body) noexcept;

} // namespace VxMessageHelpers

class TVxMessage : public std::exception {
public:
    TVxMessage();
    TVxMessage(const char *text);
    TVxMessage(const std::string &text);
    // The string-table text of the number.
    explicit TVxMessage(unsigned id);
    explicit TVxMessage(int id);
    explicit TVxMessage(unsigned long id);
    explicit TVxMessage(long id);
    TVxMessage(const TVxMessage &other) noexcept;
    TVxMessage &operator=(const TVxMessage &other) noexcept;
    ~TVxMessage() override;

    const char *what() const noexcept override;
    const char *c_str() const noexcept;
    std::string Text() const;

    // Takes ownership of the parameter and appends it. When the list cannot
    // grow, the parameter is destroyed and the message goes on without it.
    void AddParameter(VxMessageHelpers::TVxMessageParameter *parameter) noexcept;

    // Appending. Members, so that a temporary message on the left works:
    //     throw Mirelta::TVxMessage(31020) << name << inner;
    TVxMessage &operator<<(const TVxMessage &nested);
    TVxMessage &operator<<(const char *text);
    TVxMessage &operator<<(const std::string &text);
    TVxMessage &operator<<(unsigned long value);
    TVxMessage &operator<<(long value);
    TVxMessage &operator<<(unsigned value) { return *this << static_cast<unsigned long>(value); }
    TVxMessage &operator<<(int value) { return *this << static_cast<long>(value); }
    TVxMessage &operator<<(unsigned long long value);
    TVxMessage &operator<<(long long value);

    // The body shared by this message and its copies (null only when its
    // allocation failed).
    const VxMessageHelpers::TVxMessageBody *Body() const noexcept { return body_; }

private:
    void InitBody(const std::string &formatText) noexcept;
    void ReleaseBody() noexcept;

    VxMessageHelpers::TVxMessageBody *body_;
};

// A factory rethrows the exception in flight and returns a message for the
// types it knows; it declines by letting an exception escape.
typedef TVxMessage (*TVxMessageFactory)();

// The process-wide factory list, newest last; empty unless a host adds one.
extern std::vector<TVxMessageFactory> MessageFactories;

// The string-table text of a number ("" when the table lacks it, "_" when
// loading failed).
std::string VxGRes(unsigned id);

// Turns the exception in flight into a message; call only inside a catch
// handler. Never throws what is in flight: a TVxMessage passes unchanged,
// std::bad_alloc becomes 31003, another standard exception 31002 (both with
// the exception's text and its type name), anything else 31001 with the type
// name.
TVxMessage CurrentExceptionToMessage();

} // namespace Mirelta

using Mirelta::CurrentExceptionToMessage;
using Mirelta::MessageFactories;
using Mirelta::VxGRes;
