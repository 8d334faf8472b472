#include "output.h"

#include <algorithm>

#include "results.h"
#include "text.h"

Output::Output(bool json, const std::string& command) : m_json(json) {
    m_doc.BeginObject().Field("command", command);
}

int32_t Output::Call(const char* exportName, const std::string& arguments, int32_t code, bool change) {
    m_calls.push_back({exportName, arguments, code});
    if (!m_json && (change || code != 0))
        std::fprintf(code != 0 && !change ? stderr : stdout, "%s(%s) -> %s\n", exportName, arguments.c_str(),
                     CodeText(exportName, code).c_str());
    return code;
}

void Output::Error(const std::string& text) {
    m_errors.push_back(text);
    std::fprintf(stderr, "mailhost: %s\n", text.c_str());
}

void Output::Warning(const std::string& text) {
    m_warnings.push_back(text);
    std::fprintf(stderr, "mailhost: %s\n", text.c_str());
}

void Output::Line(const std::string& text) {
    if (!m_json) std::printf("%s\n", text.c_str());
}

int Output::Finish(int status) {
    std::fflush(stdout);
    if (!m_json) return status;
    m_doc.Key("calls").BeginArray();
    for (const CallRecord& call : m_calls)
        m_doc.BeginObject()
            .Field("export", call.exportName)
            .Field("arguments", call.arguments)
            .Field("code", call.code)
            .Field("meaning", Meaning(call.exportName, call.code))
            .EndObject();
    m_doc.EndArray();
    m_doc.Key("errors").BeginArray();
    for (const std::string& e : m_errors) m_doc.String(e);
    m_doc.EndArray();
    m_doc.Key("warnings").BeginArray();
    for (const std::string& w : m_warnings) m_doc.String(w);
    m_doc.EndArray();
    m_doc.Field("exitStatus", status).EndObject();
    std::fputs(m_doc.Text().c_str(), stdout);
    std::fflush(stdout);
    return status;
}

void Table::Print(std::FILE* out) const {
    std::vector<size_t> widths;
    for (const Column& c : m_columns) widths.push_back(DisplayWidth(c.title));
    auto cell = [&](const std::vector<std::string>& row, size_t i) {
        const std::string text = i < row.size() ? row[i] : "";
        return m_columns[i].limit ? Clip(text, m_columns[i].limit) : text;
    };
    for (const auto& row : m_rows)
        for (size_t i = 0; i < m_columns.size(); ++i)
            widths[i] = std::max(widths[i], DisplayWidth(cell(row, i)));
    auto print = [&](const std::vector<std::string>& row) {
        std::string line;
        for (size_t i = 0; i < m_columns.size(); ++i) {
            const std::string text = cell(row, i);
            const std::string pad(widths[i] - DisplayWidth(text), ' ');
            const bool last = i + 1 == m_columns.size();
            line += m_columns[i].right ? pad + text : text + (last ? "" : pad);
            if (!last) line += "  ";
        }
        std::fprintf(out, "%s\n", line.c_str());
    };
    std::vector<std::string> titles;
    for (const Column& c : m_columns) titles.push_back(c.title);
    print(titles);
    for (const auto& row : m_rows) print(row);
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }
