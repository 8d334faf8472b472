// mailhost's command line: the global options (the account and the logon option flags) and
// each command's own options and arguments.
#pragma once

#include <map>
#include <string>
#include <vector>

struct GlobalOptions {
    std::string plugin;  // default: the plug-in beside mailhost
    std::string server = "127.0.0.1";
    std::string smtpServer;  // default: server
    int imapPort = 143;
    int smtpPort = 25;
    std::string user;
    std::string password;      // or MAILHOST_PASSWORD
    std::string smtpUser;      // default: user
    std::string smtpPassword;  // default: password (or MAILHOST_SMTP_PASSWORD)
    bool smtpAuth = true;
    std::string sentFolder = "Sent";
    std::string displayName;
    bool verbose = false;  // logon option flag 2
    bool syncLog = false;  // logon option flag 1
    bool attachments = true;
    bool preferHtml = false;
    bool unreadOnly = false;
    int sizeLimit = 0;
    int sinceDays = 0;
    bool json = false;
    bool help = false;
};

struct OptionInfo {
    const char* name;       // "--to"
    const char* valueName;  // "ADDRESS"; null for a flag
    const char* help;
};

// What the parser made of the command line beyond the global options.
struct CommandLine {
    std::string command;
    std::vector<std::string> arguments;                       // positional, in order
    std::map<std::string, std::vector<std::string>> options;  // command options, values in order

    bool Has(const std::string& name) const { return options.count(name) > 0; }
    std::string Value(const std::string& name, const std::string& fallback = "") const;
    const std::vector<std::string>& Values(const std::string& name) const;
};

const std::vector<OptionInfo>& GlobalOptionList();

// The command word: the first argument that is neither an option nor an option's value.
std::string FindCommand(int argc, char** argv);
// Parses everything; `commandOptions` are those the command accepts. False with a reason.
bool ParseCommandLine(int argc, char** argv, const std::vector<OptionInfo>& commandOptions,
                      GlobalOptions& global, CommandLine& line, std::string& error);
// The option lines of a help text, aligned.
std::string OptionHelp(const std::vector<OptionInfo>& known);
