// What a command prints: export calls with their results in words, tables for people, and
// one JSON document for scripts (--json). Results go to standard output, errors and progress
// to standard error.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "json.h"

class Output {
public:
    Output(bool json, const std::string& command);

    bool json() const { return m_json; }
    // The command's own fields of the JSON document (an object that is open).
    JsonWriter& Json() { return m_doc; }

    // Records one export call and its result. In text mode a change ("IMAP4AddFolder("Work")
    // -> 0: done") is printed on standard output; a read only when it failed, on standard
    // error. Answers the code.
    int32_t Call(const char* exportName, const std::string& arguments, int32_t code, bool change = true);
    // An error of mailhost itself: "mailhost: TEXT" on standard error, "error" in the JSON.
    void Error(const std::string& text);
    // Something the user should know that does not fail the command.
    void Warning(const std::string& text);
    // A line for people (text mode only).
    void Line(const std::string& text);
    // Prints the JSON document with the calls and the exit status; answers the status.
    int Finish(int status);

private:
    struct CallRecord {
        std::string exportName, arguments;
        int32_t code;
    };
    bool m_json;
    JsonWriter m_doc;
    std::vector<CallRecord> m_calls;
    std::vector<std::string> m_errors, m_warnings;
};

// A text table with aligned columns; cells are UTF-8, cut with an ellipsis at a column's limit.
class Table {
public:
    struct Column {
        const char* title;
        size_t limit;  // 0: no limit
        bool right;    // numbers line up on the right
    };
    explicit Table(std::vector<Column> columns) : m_columns(std::move(columns)) {}
    void Add(std::vector<std::string> cells) { m_rows.push_back(std::move(cells)); }
    bool Empty() const { return m_rows.empty(); }
    void Print(std::FILE* out) const;

private:
    std::vector<Column> m_columns;
    std::vector<std::vector<std::string>> m_rows;
};

// "\"INBOX\"" for call arguments.
std::string Quoted(const std::string& text);
