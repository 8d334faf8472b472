// Command line of mailhost.
#pragma once

#include <string>

struct Options {
    std::string plugin;  // path of ZQ_VORUDozOzad.so; default: beside mailhost
    std::string server = "127.0.0.1";
    int imapPort = 143;
    int smtpPort = -1;  // -1: no SMTP
    std::string user;
    std::string password;
    std::string sentFolder;
    std::string outDir = "mailhost-out";
    int daysBack = 0;
    bool unreadOnly = false;
    bool preferHtml = false;
    bool attachments = true;
    bool verbose = false;
    int maxMessageSize = 0;

    // Parses argv; on a bad command line, fills error (or usage for --help) and answers false.
    bool Parse(int argc, char** argv, std::string& error);
    static const char* Usage();
};
