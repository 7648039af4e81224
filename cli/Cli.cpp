#include "cli/Cli.h"

#include <iostream>

#include "cli/Commands.h"
#include "cli/Convert.h"
#include "cli/Options.h"
#include "cli/Streams.h"
#include "cli/Usage.h"

namespace tlc {

using namespace cli;

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err) {
    int status = 0;
    try {
        const ParsedOptions top = ParseOptions(args, {}, true);
        if (top.Help || top.Version) {
            status = AnswerHelpOrVersion(top, out);
        } else if (top.Operands.empty()) {
            throw UsageError("a command is needed");
        } else {
            const std::string& command = top.Operands[0];
            const std::vector<std::string> rest(top.Operands.begin() + 1, top.Operands.end());
            if (command == "help")
                PrintUsage(out);
            else if (command == "convert")
                status = Convert(rest, in, out, err);
            else if (command == "show")
                status = Show(rest, in, out, err);
            else if (command == "info")
                status = Info(rest, in, out, err);
            else if (command == "send")
                status = Send(rest, in, out, err);
            else if (command == "blank")
                status = Blank(rest, in, out, err);
            else
                throw UsageError("unknown command " + command);
        }
    } catch (const UsageError& e) {
        err << "tillora-logo: " << Printable(e.Message()) << " (tillora-logo --help tells the usage)\n";
        return 2;
    } catch (const Exception& e) {
        err << "tillora-logo: " << Printable(e.Message()) << '\n';
        return 1;
    } catch (const StandardOutputFailed& e) {
        err << "tillora-logo: " << e.what() << '\n';
        return 1;
    } catch (const std::exception& e) {
        err << "tillora-logo: " << Printable(e.what()) << '\n';
        return 1;
    }
    // A full disk or a closed pipe behind standard output is a failure too.
    if (!out.flush()) {
        err << "tillora-logo: cannot write to standard output\n";
        return 1;
    }
    return status;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunCli(args, std::cin, out, err);
}

} // namespace tlc
