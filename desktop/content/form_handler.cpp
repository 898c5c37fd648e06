// Form actions, list submissions and login forms.
#include "desktop/content/form_handler.h"

#include "desktop/address/text_util.h"
#include "desktop/content/attribute_reader.h"
#include "desktop/content/event_attributes.h"
#include "desktop/content/link_cleanup.h"

#include <array>

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The next opening of a tag called name ("<OPTION") at or after from; not "<OPTIONS".
std::size_t FindTag(std::string_view text, std::string_view opening, std::size_t from) {
    for (std::size_t at = vq::FindIgnoreCase(text, opening, from); at != npos;
         at = vq::FindIgnoreCase(text, opening, at + 1)) {
        const std::size_t after = at + opening.size();
        if (after >= text.size() || !IsAlnum(text[after]))
            return at;
    }
    return npos;
}

// The tag that opens at at, up to its ">" (or the end of text).
std::string_view TagAt(std::string_view text, std::size_t at) {
    const std::size_t close = text.find('>', at);
    return text.substr(at, close == npos ? npos : close - at);
}

std::string AttributeText(std::string_view tag, std::string_view name) {
    const CVQSpan span = CVQAttributeReader::Attribute(tag, name);
    return span.Found() ? std::string(span.In(tag)) : std::string();
}

std::string Cut(std::string text, std::size_t length) {
    if (text.size() > length)
        text.resize(length);
    return text;
}

// The address without its query.
std::string WithoutQuery(std::string_view address) {
    return std::string(address.substr(0, address.find('?')));
}

void AddComposed(std::string text, CVQLinkList& out) {
    out.push_back({std::move(text), CVQFoundLink::kComposed, 0});
}

bool IsLoginDataType(std::string_view type) {
    for (std::string_view t : {"", "checkbox", "hidden", "password", "radio", "text"})
        if (vq::EqualsIgnoreCase(type, t))
            return true;
    return false;
}

} // namespace

std::string CVQFormHandler::FormEncode(std::string_view raw) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string text = CVQLinkCleanup::DecodeReferences(raw);
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            out += "%0D%0A";
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue; // the line feed stands for the whole line break
        } else if (c == ' ') {
            out += '+';
        } else if (IsAlnum(c) || c == '~') {
            out += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

std::vector<CVQFormHandler::Field> CVQFormHandler::Inputs(std::string_view form) const {
    std::vector<Field> fields;
    for (std::size_t at = FindTag(form, "<INPUT", 0); at != npos;
         at = FindTag(form, "<INPUT", at + 1)) {
        const std::string_view tag = TagAt(form, at);
        Field field{Cut(AttributeText(tag, "NAME"), kMaxFieldLength),
                    Cut(AttributeText(tag, "TYPE"), kMaxFieldLength),
                    Cut(AttributeText(tag, "VALUE"), kMaxFieldLength)};
        fields.push_back(std::move(field));
    }
    return fields;
}

bool CVQFormHandler::SelectSubmissions(std::string_view form, const std::string& action, bool post,
                                       CVQLinkList& out) const {
    for (const Field& field : Inputs(form))
        if (vq::EqualsIgnoreCase(field.type, "text"))
            return false; // the user types something in: no choice list decides the answer
    const std::size_t selectAt = FindTag(form, "<SELECT", 0);
    if (selectAt == npos)
        return false;
    const std::size_t selectEnd = vq::FindIgnoreCase(form, "/SELECT>", selectAt);
    const std::string_view select =
        form.substr(selectAt, selectEnd == npos ? npos : selectEnd - selectAt);
    const std::string_view selectTag = TagAt(select, 0);
    const std::string name = AttributeText(selectTag, "NAME");
    if (name.empty())
        return false; // a list without a name sends nothing
    const bool onChange = CVQAttributeReader::FindAttribute(selectTag, "ONCHANGE") != npos;
    const std::string prefix =
        action + std::string(post ? kPostMark : std::string_view("?")) + FormEncode(name) + "=";

    bool made = false;
    for (std::size_t at = FindTag(select, "<OPTION", 0); at != npos;
         at = FindTag(select, "<OPTION", at + 1)) {
        const std::string_view optionTag = TagAt(select, at);
        CVQSpan value = CVQAttributeReader::Attribute(optionTag, "VALUE");
        if (value.Found()) {
            value.pos += at;
        } else {
            // The option's own text up to the next option, its end tag or the list's end.
            const std::size_t textStart = at + optionTag.size() + 1;
            if (textStart > select.size())
                continue;
            std::size_t textEnd = FindTag(select, "<OPTION", textStart);
            textEnd = std::min(textEnd, vq::FindIgnoreCase(select, "</OPTION>", textStart));
            textEnd = std::min(textEnd, select.size());
            std::size_t from = textStart;
            while (from < textEnd && (CVQAttributeReader::IsBlank(select[from]) ||
                                      CVQAttributeReader::IsLineBreak(select[from])))
                ++from;
            while (textEnd > from && (CVQAttributeReader::IsBlank(select[textEnd - 1]) ||
                                      CVQAttributeReader::IsLineBreak(select[textEnd - 1])))
                --textEnd;
            value = {from, textEnd - from};
        }
        if (value.length > kMaxChoiceLength)
            continue;
        const std::string_view text = value.In(select);
        if (onChange) {
            // A list that navigates on change holds addresses as its values.
            if (const CVQSpan link = m_test.Test(text); link.Found())
                CVQStringScanner::Add(select, value.pos + link.pos, link.length, selectAt, out);
        }
        AddComposed(prefix + FormEncode(text), out);
        made = true;
    }
    return made;
}

bool CVQFormHandler::LoginSubmission(std::string_view form, const std::string& action,
                                     CVQLinkList& out) const {
    std::vector<Field> fields = Inputs(form);
    std::erase_if(fields, [](const Field& f) { return f.name.empty(); });
    std::size_t password = npos;
    for (std::size_t i = 0; i < fields.size() && password == npos; ++i)
        if (vq::EqualsIgnoreCase(fields[i].type, "password"))
            password = i;
    if (password == npos || fields.size() < 2)
        return false;
    const std::size_t user = password > 0 ? password - 1 : password + 1;

    std::string data;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        // The user field goes with the login whatever its type ("email" is one too).
        if (i != user && !IsLoginDataType(fields[i].type))
            continue;
        const std::string& value = i == user       ? m_options.userId
                                   : i == password ? m_options.password
                                                   : fields[i].value;
        if (!data.empty())
            data += '&';
        data += FormEncode(fields[i].name) + "=" + FormEncode(value);
    }
    AddComposed(action + std::string(kLoginMark) + data, out);
    return true;
}

void CVQFormHandler::Handle(std::string_view form, CVQLinkList& out) const {
    const CVQSpan method = CVQAttributeReader::Attribute(form, "METHOD");
    const bool post = method.Found() && vq::EqualsIgnoreCase(method.In(form), "POST");
    const CVQSpan actionSpan = CVQAttributeReader::Attribute(form, "ACTION");
    const bool hasAction = !actionSpan.Empty();
    const std::string action = hasAction ? std::string(actionSpan.In(form)) : std::string();
    if (!post && hasAction)
        CVQStringScanner::Add(form, actionSpan.pos, actionSpan.length, 0, out);
    // A form without action is sent to its own page.
    const std::string target = hasAction ? action : WithoutQuery(m_options.pageAddress);

    CVQEventAttributes::Read(form, m_scanner, out,
                             CVQEventAttributes::Bit("ONSUBMIT") |
                                 CVQEventAttributes::Bit("ONRESET"));
    bool submitted = false;
    if (m_options.htmlForms)
        submitted = SelectSubmissions(form, target, post, out);
    if (m_options.htmlLogin)
        submitted = LoginSubmission(form, target, out) || submitted;
    if (!submitted) {
        if (hasAction)
            CVQStringScanner::Add(form, actionSpan.pos, actionSpan.length, 0, out);
        else if (post && !target.empty())
            AddComposed(target, out);
    }
    CVQEventAttributes::Read(form, m_scanner, out);
}
