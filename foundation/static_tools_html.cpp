// CStaticTools: HTML to text and back, and HTML documents.

#include <utility>

#include "foundation/static_tools.h"
#include "platform/text.h"

namespace ruzd::foundation {
namespace {

// The characters written as named entities, '&' first so that no entity is written twice.
constexpr std::pair<std::string_view, std::string_view> kEntities[] = {
    {"&", "&amp;"},    {"<", "&lt;"},     {">", "&gt;"},     {"\"", "&quot;"},  {"à", "&agrave;"},
    {"á", "&aacute;"}, {"â", "&acirc;"},  {"ä", "&auml;"},   {"ç", "&ccedil;"}, {"è", "&egrave;"},
    {"é", "&eacute;"}, {"ê", "&ecirc;"},  {"ë", "&euml;"},   {"î", "&icirc;"},  {"ï", "&iuml;"},
    {"ô", "&ocirc;"},  {"ö", "&ouml;"},   {"ù", "&ugrave;"}, {"ú", "&uacute;"}, {"û", "&ucirc;"},
    {"ü", "&uuml;"},   {"À", "&Agrave;"}, {"Á", "&Aacute;"}, {"Â", "&Acirc;"},  {"Ä", "&Auml;"},
    {"Ç", "&Ccedil;"}, {"È", "&Egrave;"}, {"É", "&Eacute;"}, {"Ê", "&Ecirc;"},  {"Ë", "&Euml;"},
    {"Î", "&Icirc;"},  {"Ï", "&Iuml;"},   {"Ô", "&Ocirc;"},  {"Ö", "&Ouml;"},   {"Ù", "&Ugrave;"},
    {"Ú", "&Uacute;"}, {"Û", "&Ucirc;"},  {"Ü", "&Uuml;"},   {"ß", "&szlig;"},  {"®", "&reg;"},
    {"©", "&copy;"},   {"€", "&euro;"},
};
static_assert(std::size(kEntities) == 42);

// The entities HTML to text reads; "&amp;" last, so that "&amp;lt;" stays "&lt;".
constexpr std::pair<std::string_view, std::string_view> kReadEntities[] = {
    {"&gt;", ">"},  {"&lt;", "<"},        {"&quot;", "\""}, {"&copy;", "©"},
    {"&reg;", "®"}, {"&nbsp;", "\u00A0"}, {"&amp;", "&"},
};

constexpr const char* kDocumentTemplate =
    "<html>\n<head>\n\t<title>%s</title>\n</head>\n<body>\n\t%s\n</body>\n</html>";
constexpr const char* kHeadTemplate = "<head>\n\t<title>%s</title>\n</head>\n";

// The value of an attribute in a tag: quoted or up to the next blank.
std::string AttributeValue(std::string_view tag, std::string_view name) {
    const int at = CStaticTools::FindNoCase(tag, name);
    if (at < 0) {
        return "";
    }
    std::string_view value = tag.substr(static_cast<size_t>(at) + name.size());
    if (!value.empty() && (value.front() == '"' || value.front() == '\'')) {
        const size_t end = value.find(value.front(), 1);
        return std::string(value.substr(1, end == std::string_view::npos ? end : end - 1));
    }
    return std::string(value.substr(0, value.find_first_of(" \t\r\n>")));
}

// The tag's name in lower case: "a", "/a", "br".
std::string TagName(std::string_view tag) {
    const size_t end = tag.find_first_of(" \t\r\n/>", tag.starts_with("/") ? 1 : 0);
    return platform::AsciiLower(tag.substr(0, end));
}

// The end of the tag that starts at `start` ('<'), just after its '>'.
size_t TagEnd(std::string_view html, size_t start) {
    const size_t close = html.find('>', start);
    return close == std::string_view::npos ? html.size() : close + 1;
}

}  // namespace

std::string CStaticTools::HtmlToText(std::string_view html) {
    if (const int body = FindNoCase(html, "<body"); body >= 0) {
        html = html.substr(TagEnd(html, static_cast<size_t>(body)));
        if (const int end = FindNoCase(html, "</body"); end >= 0) {
            html = html.substr(0, static_cast<size_t>(end));
        }
    }
    std::string text;
    std::string link;       // the target of the link being read
    size_t link_start = 0;  // where its text begins
    size_t pos = 0;
    while (pos < html.size()) {
        if (html[pos] != '<') {
            text += html[pos++];
            continue;
        }
        const size_t end = TagEnd(html, pos);
        const std::string_view tag = html.substr(pos + 1, end - pos - 2 + (html[end - 1] != '>'));
        const std::string name = TagName(tag);
        if (name == "a") {
            link = AttributeValue(tag, "href=");
            link_start = text.size();
        } else if (name == "/a" && !link.empty()) {
            // The target follows the text, unless the text is the target itself.
            if (text.substr(link_start) != link) {
                text += " (" + link + ")";
            }
            link.clear();
        } else if (name == "br" || name == "/p") {
            text += '\n';
        }
        pos = end;
    }
    for (const auto& [entity, character] : kReadEntities) {
        ReplaceNoCase(text, entity, character);
    }
    return text;
}

std::string CStaticTools::TextToHtml(std::string_view text) {
    std::string html;
    size_t pos = 0;
    while (pos < text.size()) {
        bool replaced = false;
        for (const auto& [character, entity] : kEntities) {
            if (text.substr(pos, character.size()) == character) {
                html += entity;
                pos += character.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            html += text[pos++];
        }
    }
    return html;
}

std::string CStaticTools::WrapAsHtmlDocument(std::string_view text, std::string_view title) {
    std::string html(text);
    ReplaceNoCase(html, "</body>", "</body>");
    ReplaceNoCase(html, "</head>", "</head>");
    const std::string title_text(title);
    const std::string head = platform::Format(kHeadTemplate, title_text.c_str());
    const bool has_html = FindNoCase(html, "<html") >= 0;
    const bool has_head = FindNoCase(html, "<head") >= 0;
    const bool has_body = FindNoCase(html, "<body") >= 0;
    if (!has_html && !has_head && !has_body) {
        return platform::Format(kDocumentTemplate, title_text.c_str(), html.c_str());
    }
    if (!has_html) {
        return "<html>\n" + (has_head ? "" : head) + html + "\n</html>";
    }
    const size_t after_html = TagEnd(html, static_cast<size_t>(FindNoCase(html, "<html")));
    size_t content = after_html;
    if (!has_head) {
        html.insert(after_html, "\n" + head);
        content = after_html + 1 + head.size();
    } else if (const int head_end = FindNoCase(html, "</head>"); head_end >= 0) {
        content = static_cast<size_t>(head_end) + 7;
    }
    if (!has_body) {
        const int html_end = FindNoCase(html, "</html");
        const size_t end = html_end >= 0 ? static_cast<size_t>(html_end) : html.size();
        const size_t start = std::min(content, end);
        html = html.substr(0, start) + "\n<body>\n\t" + html.substr(start, end - start) +
               "\n</body>\n" + html.substr(end);
    }
    return html;
}

}  // namespace ruzd::foundation
