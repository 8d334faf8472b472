#include "options.h"

#include <cstdlib>
#include <functional>

namespace {

const std::vector<OptionInfo> kGlobal = {
    {"--server", "HOST", "IMAP server (default 127.0.0.1); also the SMTP server"},
    {"--imap-port", "N", "IMAP port (default 143)"},
    {"--smtp-server", "HOST", "SMTP server when it is another host"},
    {"--smtp-port", "N", "SMTP port (default 25)"},
    {"--user", "NAME", "account name for IMAP login (required)"},
    {"--password", "TEXT", "IMAP password (default: $MAILHOST_PASSWORD)"},
    {"--smtp-user", "NAME", "SMTP AUTH LOGIN name (default: --user)"},
    {"--smtp-password", "TEXT", "SMTP password (default: $MAILHOST_SMTP_PASSWORD, else the IMAP password)"},
    {"--no-smtp-auth", nullptr, "send with HELO, without AUTH LOGIN"},
    {"--sent-folder", "NAME", "folder for copies of sent mail (default Sent; \"\" for none)"},
    {"--display-name", "TEXT", "sender's name in the From header of sent mail"},
    {"--size-limit", "BYTES", "fetch only the header and first text of larger messages (partial)"},
    {"--since-days", "N", "list only messages of the last N days"},
    {"--unread-only", nullptr, "list only unread messages"},
    {"--prefer-html", nullptr, "take the HTML body of downloaded messages when there is one"},
    {"--no-attachments", nullptr, "neither fetch attachments nor send them"},
    {"--sync-log", nullptr, "logon flag 1: a failed logon writes a sync-log entry (shown)"},
    {"-v", nullptr, "verbose (logon flag 2): show the module's log and protocol traces"},
    {"--verbose", nullptr, "the same as -v"},
    {"--json", nullptr, "print machine-readable JSON on standard output"},
    {"--plugin", "PATH", "the plug-in to load (default: the one beside mailhost)"},
    {"--help", nullptr, "this help; with a command, the command's help"},
};

const OptionInfo* Find(const std::vector<OptionInfo>& known, const std::string& name) {
    for (const OptionInfo& info : known)
        if (name == info.name) return &info;
    return nullptr;
}

bool ToNumber(const std::string& text, int& out) {
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || n < -1 || n > 0x7FFFFFFF) return false;
    out = static_cast<int>(n);
    return true;
}

// Applies one global option; false with a reason when its value is not usable.
bool ApplyGlobal(GlobalOptions& g, const std::string& name, const std::string& value, std::string& error) {
    const std::map<std::string, std::string*> texts = {{"--server", &g.server},
                                                       {"--smtp-server", &g.smtpServer},
                                                       {"--user", &g.user},
                                                       {"--password", &g.password},
                                                       {"--smtp-user", &g.smtpUser},
                                                       {"--smtp-password", &g.smtpPassword},
                                                       {"--sent-folder", &g.sentFolder},
                                                       {"--display-name", &g.displayName},
                                                       {"--plugin", &g.plugin}};
    const std::map<std::string, int*> numbers = {{"--imap-port", &g.imapPort},
                                                 {"--smtp-port", &g.smtpPort},
                                                 {"--size-limit", &g.sizeLimit},
                                                 {"--since-days", &g.sinceDays}};
    const std::map<std::string, std::function<void()>> flags = {
        {"--no-smtp-auth", [&] { g.smtpAuth = false; }},
        {"--unread-only", [&] { g.unreadOnly = true; }},
        {"--prefer-html", [&] { g.preferHtml = true; }},
        {"--no-attachments", [&] { g.attachments = false; }},
        {"--sync-log", [&] { g.syncLog = true; }},
        {"-v", [&] { g.verbose = true; }},
        {"--verbose", [&] { g.verbose = true; }},
        {"--json", [&] { g.json = true; }},
        {"--help", [&] { g.help = true; }}};
    if (auto t = texts.find(name); t != texts.end()) {
        *t->second = value;
    } else if (auto n = numbers.find(name); n != numbers.end()) {
        if (!ToNumber(value, *n->second)) {
            error = name + " needs a number, not '" + value + "'";
            return false;
        }
    } else {
        flags.at(name)();
    }
    return true;
}

}  // namespace

std::string CommandLine::Value(const std::string& name, const std::string& fallback) const {
    const auto it = options.find(name);
    return it == options.end() || it->second.empty() ? fallback : it->second.back();
}

const std::vector<std::string>& CommandLine::Values(const std::string& name) const {
    static const std::vector<std::string> none;
    const auto it = options.find(name);
    return it == options.end() ? none : it->second;
}

const std::vector<OptionInfo>& GlobalOptionList() { return kGlobal; }

std::string FindCommand(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") return i + 1 < argc ? argv[i + 1] : "";
        if (arg.size() > 1 && arg[0] == '-') {
            const OptionInfo* info = Find(kGlobal, arg.substr(0, arg.find('=')));
            if (info && info->valueName && arg.find('=') == std::string::npos) ++i;
            continue;
        }
        return arg;
    }
    return "";
}

bool ParseCommandLine(int argc, char** argv, const std::vector<OptionInfo>& commandOptions,
                      GlobalOptions& global, CommandLine& line, std::string& error) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg == "-" || arg.size() < 2 || arg[0] != '-') {
            if (line.command.empty())
                line.command = arg;
            else
                line.arguments.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h") arg = "--help";
        std::string value;
        bool inlineValue = false;
        if (const size_t eq = arg.find('='); eq != std::string::npos && arg.compare(0, 2, "--") == 0) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            inlineValue = true;
        }
        const OptionInfo* info = Find(commandOptions, arg);
        const bool isGlobal = info == nullptr;
        if (isGlobal) info = Find(kGlobal, arg);
        if (!info) {
            error = "unknown option " + arg;
            return false;
        }
        if (info->valueName && !inlineValue) {
            if (i + 1 >= argc) {
                error = arg + " needs a value (" + info->valueName + ")";
                return false;
            }
            value = argv[++i];
        } else if (!info->valueName && inlineValue) {
            error = arg + " takes no value";
            return false;
        }
        if (!isGlobal) {
            line.options[arg].push_back(value);
        } else if (!ApplyGlobal(global, arg, value, error)) {
            return false;
        }
    }
    if (global.password.empty())
        if (const char* p = std::getenv("MAILHOST_PASSWORD")) global.password = p;
    if (global.smtpPassword.empty())
        if (const char* p = std::getenv("MAILHOST_SMTP_PASSWORD")) global.smtpPassword = p;
    if (global.smtpServer.empty()) global.smtpServer = global.server;
    if (global.smtpUser.empty()) global.smtpUser = global.user;
    if (global.smtpPassword.empty()) global.smtpPassword = global.password;
    return true;
}

std::string OptionHelp(const std::vector<OptionInfo>& known) {
    std::string text;
    for (const OptionInfo& info : known) {
        std::string left =
            std::string("  ") + info.name + (info.valueName ? std::string(" ") + info.valueName : "");
        left.resize(std::max<size_t>(left.size() + 2, 26), ' ');
        text += left + info.help + "\n";
    }
    return text;
}
