#include "foundation/StringIds.h"
#include "foundation/VxMessage.h"

#include <cstdlib>
#include <cxxabi.h>
#include <new>
#include <typeinfo>

#include "foundation/VxMagicFeatures.h"
#include "foundation/VxText.h"

namespace Mirelta {

using VxMessageHelpers::TVxMessageBody;
using VxMessageHelpers::TVxMessageParameter;
using VxMessageHelpers::TVxMessageParameterList;

namespace {

class TVxMessageParameterString : public TVxMessageParameter {
public:
    explicit TVxMessageParameterString(const std::string &text) : text_(text) {}
    explicit TVxMessageParameterString(const char *text) : text_(text ? text : "(null)") {}
    std::string Text(const std::string &) const override { return text_; }

private:
    std::string text_;
};

class TVxMessageParameterLong : public TVxMessageParameter {
public:
    explicit TVxMessageParameterLong(long value) : value_(value) {}
    std::string Text(const std::string &) const override { return FormatString("%li", value_); }

private:
    long value_;
};

class TVxMessageParameterULong : public TVxMessageParameter {
public:
    explicit TVxMessageParameterULong(unsigned long value) : value_(value) {}
    std::string Text(const std::string &) const override { return FormatString("%lu", value_); }

private:
    unsigned long value_;
};

// Holds a copy that shares the nested message's body, so the nested text is
// built when the outer one is, with whatever was appended to it meanwhile.
class TParameterVxMessage : public TVxMessageParameter {
public:
    explicit TParameterVxMessage(const TVxMessage &message) : message_(message) {}
    std::string Text(const std::string &) const override { return message_.Text(); }

private:
    TVxMessage message_;
};

const char kOutOfMemoryText[] = "Error/out of memory";
// A zero byte as the text conversions escape a character that a text cannot
// hold; it stays text when the message is converted for display.
const char kZeroByteEscape[] = "{@u0}";
const char kDebugSuffix[] = "\n/_DEBUG: (%*%)";

// The text with every zero byte written as its escape: what() hands out a C
// string, which would end at the first one.
std::string ShowZeroBytes(const std::string &text)
{
    if (text.find('\0') == std::string::npos)
        return text;
    std::string shown;
    for (char c : text) {
        if (c == '\0')
            shown += kZeroByteEscape;
        else
            shown += c;
    }
    return shown;
}

std::string ParameterText(const TVxMessageParameter *parameter)
{
    static const std::string emptyFormat;
    return parameter->Text(emptyFormat);
}

// The demangled name of the type of the exception being handled ("" when it
// cannot be had).
std::string CurrentExceptionTypeName() noexcept
{
    std::type_info *type = abi::__cxa_current_exception_type();
    if (!type)
        return std::string();
    int status = 0;
    char *demangled = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
    std::string name;
    try {
        name = demangled ? demangled : type->name();
    } catch (...) {
        name.clear();
    }
    std::free(demangled);
    return name;
}

// Appends a parameter made by make(); when making it fails the message goes
// on without it.
template <class Make>
TVxMessage &Append(TVxMessage &message, Make make) noexcept
{
    TVxMessageParameter *parameter = nullptr;
    try {
        parameter = make();
    } catch (...) {
        return message;
    }
    message.AddParameter(parameter);
    return message;
}

} // namespace

namespace VxMessageHelpers {

TVxMessageBody::~TVxMessageBody()
{
    while (!parameters.empty()) {
        delete parameters.back();
        parameters.pop_back();
    }
}

std::string FormatVxMessage(const std::string &format, const TVxMessageParameterList &parameters)
{
    std::string result;
    const std::size_t count = parameters.size();
    std::size_t pos = 0;
    for (;;) {
        std::size_t open = format.find('%', pos);
        if (open == std::string::npos) {
            result.append(format, pos, std::string::npos);
            break;
        }
        result.append(format, pos, open - pos);
        std::size_t start = open + 1;
        std::size_t close = format.find('%', start);
        if (close == std::string::npos)
            break; // a lone '%' drops itself and the rest
        if (close == start) {
            result += '%';
        } else {
            std::string token = format.substr(start, close - start);
            if (token == "*") {
                for (std::size_t i = 0; i < count; ++i) {
                    if (i)
                        result += ", ";
                    result += ParameterText(parameters[i]);
                }
            } else {
                unsigned long n = std::strtoul(token.c_str(), nullptr, 0);
                if (n == 0)
                    result.append(format, open, close - open + 1);
                else if (n <= count)
                    result += ParameterText(parameters[n - 1]);
                else
                    result += "???";
            }
        }
        pos = close + 1;
    }
    return result;
}

bool BuildMessageText(TVxMessageBody *body) noexcept
{
    try {
        std::string text = ShowZeroBytes(FormatVxMessage(body->format, body->parameters));
        body->formatted.swap(text);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace VxMessageHelpers

std::vector<TVxMessageFactory> MessageFactories;

TVxMessage::TVxMessage() : body_(nullptr)
{
    InitBody(std::string());
}

TVxMessage::TVxMessage(const char *text) : body_(nullptr)
{
    try {
        InitBody(text ? std::string(text) : std::string());
    } catch (...) {
        // no body: the message reads as ""
    }
}

TVxMessage::TVxMessage(const std::string &text) : body_(nullptr)
{
    InitBody(text);
}

TVxMessage::TVxMessage(unsigned id) : body_(nullptr)
{
    try {
        InitBody(VxGRes(id));
    } catch (...) {
        // no body: the message reads as ""
    }
}

TVxMessage::TVxMessage(int id) : TVxMessage(static_cast<unsigned>(id)) {}
TVxMessage::TVxMessage(unsigned long id) : TVxMessage(static_cast<unsigned>(id)) {}
TVxMessage::TVxMessage(long id) : TVxMessage(static_cast<unsigned>(id)) {}

TVxMessage::TVxMessage(const TVxMessage &other) noexcept : std::exception(other), body_(other.body_)
{
    if (body_)
        ++body_->count;
}

TVxMessage &TVxMessage::operator=(const TVxMessage &other) noexcept
{
    TVxMessageBody *body = other.body_;
    if (body)
        ++body->count;
    ReleaseBody();
    body_ = body;
    return *this;
}

TVxMessage::~TVxMessage()
{
    ReleaseBody();
}

void TVxMessage::InitBody(const std::string &formatText) noexcept
{
    try {
        body_ = new TVxMessageBody(formatText);
    } catch (...) {
        body_ = nullptr;
    }
}

void TVxMessage::ReleaseBody() noexcept
{
    TVxMessageBody *body = body_;
    body_ = nullptr;
    if (body && --body->count == 0)
        delete body;
}

const char *TVxMessage::what() const noexcept
{
    return c_str();
}

const char *TVxMessage::c_str() const noexcept
{
    if (!body_)
        return "";
    if (!VxMessageHelpers::BuildMessageText(body_))
        return kOutOfMemoryText;
    return body_->formatted.c_str();
}

std::string TVxMessage::Text() const
{
    return c_str();
}

void TVxMessage::AddParameter(TVxMessageParameter *parameter) noexcept
{
    if (!parameter)
        return;
    if (!body_) {
        delete parameter;
        return;
    }
    try {
        body_->parameters.push_back(parameter);
    } catch (...) {
        delete parameter;
    }
}

TVxMessage &TVxMessage::operator<<(const TVxMessage &nested)
{
    return Append(*this, [&] { return new TParameterVxMessage(nested); });
}

TVxMessage &TVxMessage::operator<<(const char *text)
{
    return Append(*this, [&] { return new TVxMessageParameterString(text); });
}

TVxMessage &TVxMessage::operator<<(const std::string &text)
{
    return Append(*this, [&] { return new TVxMessageParameterString(text); });
}

TVxMessage &TVxMessage::operator<<(unsigned long value)
{
    return Append(*this, [&] { return new TVxMessageParameterULong(value); });
}

TVxMessage &TVxMessage::operator<<(long value)
{
    return Append(*this, [&] { return new TVxMessageParameterLong(value); });
}

TVxMessage &TVxMessage::operator<<(unsigned long long value)
{
    return Append(*this, [&] { return new TVxMessageParameterString(FormatString("%llu", value)); });
}

TVxMessage &TVxMessage::operator<<(long long value)
{
    return Append(*this, [&] { return new TVxMessageParameterString(FormatString("%lli", value)); });
}

std::string VxGRes(unsigned id)
{
    try {
        std::string text = LoadResStdString(id);
        static const bool debugSuffix = QueryMagicFeatures("VxGRes") != 0;
        if (debugSuffix)
            text += kDebugSuffix;
        return text;
    } catch (...) {
        return "_";
    }
}

TVxMessage CurrentExceptionToMessage()
{
    if (!std::current_exception())
        return TVxMessage(IDS_UNKNOWN_EXCEPTION) << "";

    for (std::size_t i = MessageFactories.size(); i-- > 0;) {
        TVxMessageFactory factory = MessageFactories[i];
        if (!factory)
            continue;
        try {
            return factory();
        } catch (...) {
            // the factory declined
        }
    }

    try {
        throw;
    } catch (const TVxMessage &message) {
        return message;
    } catch (const std::bad_alloc &e) {
        return TVxMessage(IDS_OUT_OF_MEMORY) << e.what() << CurrentExceptionTypeName();
    } catch (const std::exception &e) {
        return TVxMessage(IDS_STD_EXCEPTION) << e.what() << CurrentExceptionTypeName();
    } catch (...) {
        return TVxMessage(IDS_UNKNOWN_EXCEPTION) << CurrentExceptionTypeName();
    }
}

} // namespace Mirelta
