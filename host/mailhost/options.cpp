#include "options.h"

#include <cstdlib>
#include <cstring>

const char* Options::Usage() {
    return "usage: mailhost --user NAME --password TEXT [options]\n"
           "Loads the mail plug-in, logs on to the account, and writes its folders, messages and\n"
           "attachment files under the output directory, as a message host's sync does.\n"
           "  --server HOST        IMAP and SMTP server (default 127.0.0.1)\n"
           "  --imap-port N        IMAP port (default 143)\n"
           "  --smtp-port N        SMTP port (default: no SMTP)\n"
           "  --sent-folder NAME   folder for copies of sent mail\n"
           "  --out DIR            output directory (default mailhost-out)\n"
           "  --days-back N        only messages of the last N days\n"
           "  --unread-only        only unread messages\n"
           "  --prefer-html        take the HTML body when there is one\n"
           "  --no-attachments     do not fetch attachments\n"
           "  --max-size BYTES     fetch only parts of larger messages\n"
           "  --plugin PATH        the plug-in (default: ZQ_VORUDozOzad.so beside mailhost)\n"
           "  -v, --verbose        show the plug-in's log lines\n";
}

bool Options::Parse(int argc, char** argv, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        auto number = [&](int& out) {
            std::string text;
            if (!value(text)) return false;
            char* end = nullptr;
            const long n = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0') {
                error = arg + " needs a number, not '" + text + "'";
                return false;
            }
            out = static_cast<int>(n);
            return true;
        };
        bool ok = true;
        if (arg == "--help" || arg == "-h") {
            error = Usage();
            return false;
        } else if (arg == "--server") ok = value(server);
        else if (arg == "--imap-port") ok = number(imapPort);
        else if (arg == "--smtp-port") ok = number(smtpPort);
        else if (arg == "--user") ok = value(user);
        else if (arg == "--password") ok = value(password);
        else if (arg == "--sent-folder") ok = value(sentFolder);
        else if (arg == "--out") ok = value(outDir);
        else if (arg == "--days-back") ok = number(daysBack);
        else if (arg == "--max-size") ok = number(maxMessageSize);
        else if (arg == "--plugin") ok = value(plugin);
        else if (arg == "--unread-only") unreadOnly = true;
        else if (arg == "--prefer-html") preferHtml = true;
        else if (arg == "--no-attachments") attachments = false;
        else if (arg == "-v" || arg == "--verbose") verbose = true;
        else {
            error = "unknown option " + arg + "\n" + Usage();
            return false;
        }
        if (!ok) return false;
    }
    if (user.empty()) {
        error = std::string("--user is required\n") + Usage();
        return false;
    }
    return true;
}
