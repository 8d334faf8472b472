#include "smtp/address_list.h"

#include <string_view>
#include <vector>

namespace smtp {
namespace {

bool IsBlank(char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }

std::string_view TrimmedView(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Items before the first empty one: a leading ";" or ";;" ends the list there.
std::vector<std::string_view> HeaderItems(std::string_view text) {
    std::vector<std::string_view> items;
    while (!text.empty()) {
        const size_t semi = text.find(';');
        const std::string_view item = text.substr(0, semi);
        if (item.empty()) break;
        items.push_back(item);
        if (semi == std::string_view::npos) break;
        text.remove_prefix(semi + 1);
    }
    return items;
}

}  // namespace

CString FormatHeaderList(const CString& list) {
    const std::vector<std::string_view> items = HeaderItems(list.view());
    std::string joined;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) joined += ';';
        joined.append(items[i]);
    }

    // The joined text is read again item by item; positions instead of copies keep it linear.
    std::string_view rest(joined);
    while (!rest.empty() && IsBlank(rest.back())) rest.remove_suffix(1);
    std::string result;
    for (size_t n = 0; n < items.size(); ++n) {
        if (!result.empty()) result += ", ";
        while (!rest.empty() && rest.front() == ';') {
            rest.remove_prefix(1);
            while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
        }
        const size_t semi = rest.find(';');
        const std::string_view item = TrimmedView(rest.substr(0, semi));
        rest = (semi == std::string_view::npos) ? std::string_view() : rest.substr(semi + 1);
        if (item.empty()) continue;
        if (item.find('<') != std::string_view::npos) {
            result.append(item);
        } else {
            result += '<';
            result.append(item);
            result += '>';
        }
    }
    return CString(std::move(result));
}

CStringArray RecipientCommands(const CString& list) {
    CStringArray commands;
    std::string item;
    bool inQuotes = false;
    const std::string_view text = list.view();
    for (size_t i = 0; i <= text.size(); ++i) {
        const bool atEnd = (i == text.size());
        const char ch = atEnd ? '\0' : text[i];
        if (!atEnd && !((ch == ',' || ch == ';') && !inQuotes)) {
            item += ch;
            if (ch == '"') inQuotes = !inQuotes;
            continue;
        }
        CString address;
        const size_t open = item.find('<');
        if (item.find('"') == std::string::npos && open == std::string::npos) {
            address = ExtractAddress(CString(item));
        } else if (open != std::string::npos) {
            const size_t close = item.find('>', open + 1);
            if (close != std::string::npos)
                address = ExtractAddress(CString(item.substr(open + 1, close - open - 1)));
        }
        if (!address.IsEmpty()) {
            CString command;
            command.Format("RCPT TO: <%s>\r\n", address.c_str());
            commands.Add(std::move(command));
        }
        // The quote flag deliberately survives the item: an odd quote carries over.
        item.clear();
    }
    return commands;
}

CString ExtractAddress(const CString& item) {
    CString text = Unquote(item);
    const int open = text.Find('<');
    const int close = text.Find('>');
    if (open >= 0 && close >= 0) {
        return Unquote(close > open ? text.Mid(open + 1, close - open - 1) : CString());
    }
    const int paren = text.Find('(');
    if (paren >= 0 && text.Find(')') >= 0) return Unquote(text.Left(paren));
    return text;
}

CString Unquote(const CString& text) {
    std::string_view view = TrimmedView(text.view());
    while (view.size() > 1 && view.front() == view.back() && (view.front() == '"' || view.front() == '\'')) {
        view.remove_prefix(1);
        view.remove_suffix(1);
    }
    return CString(view);
}

}  // namespace smtp
