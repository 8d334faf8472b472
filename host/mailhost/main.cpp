// mailhost: a command-line message host. It loads the mail plug-in, logs on with the account
// of its options, runs one command through the plug-in's exports, and logs off.
#include <cstdio>
#include <string>

#include "commands.h"
#include "session.h"
#include "system.h"

namespace {

const char* const kExitHelp =
    "exit status: 0 done; 1 an export answered a failure, or a message or folder is not there;\n"
    "2 bad command line; 3 logon failed; 4 the plug-in could not be loaded; 5 a local file could\n"
    "not be read or written.\n";

std::string GeneralHelp() {
    std::string text =
        "usage: mailhost [options] COMMAND [arguments]\n"
        "A message host on the command line: loads the mail plug-in, logs on to the account and\n"
        "runs one command through the plug-in's exports. `mailhost COMMAND --help` tells "
        "more.\n\ncommands:\n";
    for (const Command& c : Commands()) {
        std::string left = std::string("  ") + c.name + " " + c.usage;
        left.resize(std::max<size_t>(left.size() + 2, 42), ' ');
        text += left + c.summary + "\n";
    }
    return text + "\noptions (before or after the command):\n" + OptionHelp(GlobalOptionList()) + "\n" +
           kExitHelp;
}

std::string CommandHelp(const Command& c) {
    std::string text = std::string("usage: mailhost [options] ") + c.name + " " + c.usage + "\n" + c.summary +
                       ".\n\n" + c.details + "\n";
    if (!c.options.empty()) text += "\n" + std::string(c.name) + " options:\n" + OptionHelp(c.options);
    return text + "\nThe global options (account, logon flags, --json, -v) are in `mailhost --help`.\n" +
           kExitHelp;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string word = FindCommand(argc, argv);
    const Command* command = nullptr;
    for (const Command& c : Commands())
        if (word == c.name) command = &c;
    GlobalOptions options;
    CommandLine line;
    std::string error;
    const bool parsed = ParseCommandLine(argc, argv, command ? command->options : std::vector<OptionInfo>{},
                                         options, line, error);
    if (options.help || word.empty()) {
        std::fputs(command ? CommandHelp(*command).c_str() : GeneralHelp().c_str(),
                   word.empty() && !options.help ? stderr : stdout);
        return options.help ? kExitOk : kExitUsage;
    }
    Output out(options.json, word);
    if (!command) error = "unknown command " + word + " (see mailhost --help)";
    if (parsed && command &&
        (line.arguments.size() < command->minArguments || line.arguments.size() > command->maxArguments))
        error = std::string("usage: mailhost ") + command->name + " " + command->usage;
    if (parsed && command && command->logon != Command::kNoLogon && options.user.empty())
        error = "--user NAME is required";
    if (!error.empty()) {
        out.Error(error);
        return out.Finish(kExitUsage);
    }

    if (options.plugin.empty())
        options.plugin = hostos::ExecutableDirectory() + "/" + hostos::PluginFileName();
    PluginLibrary plugin;
    if (!plugin.Load(options.plugin, error)) {
        out.Error(error);
        return out.Finish(kExitPlugin);
    }
    Context context{options, line, plugin, out};
    int status;
    {
        Session session(plugin, options, out);
        if (command->logon != Command::kNoLogon && !session.Open(command->logon == Command::kImapAndSmtp))
            status = kExitLogon;
        else
            status = command->run(context);
    }
    return out.Finish(status);
}
