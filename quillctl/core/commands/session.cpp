#include "commands/session.h"

#include "net/exit_status.h"

namespace quillctl {

Session OpenSession(Host& host, const std::vector<std::string>& wantedInterfaces, std::ostream& err,
                    const WireOptions& wireOptions) {
    Session session;
    session.interfaces = host.Interfaces();
    session.hostAddresses = HostAddresses(session.interfaces);
    LinkSelection selection = SelectLinks(session.interfaces, wantedInterfaces);
    if (!selection.error.empty())
        throw CommandError(wantedInterfaces.empty() ? kExitFailure : kExitUsage, selection.error);
    session.links = std::move(selection.links);
    while (!session.wire) {
        try {
            session.wire = host.OpenWire(session.links, wireOptions);
        } catch (const LinkSetupError& error) {
            if (session.links.size() <= 1 || error.link() >= session.links.size())
                throw CommandError(kExitFailure, error.what());
            err << "quillctl: warning: skipping " << DescribeLink(session.links[error.link()]) << ": "
                << error.what() << '\n';
            session.links.erase(session.links.begin() + static_cast<std::ptrdiff_t>(error.link()));
        } catch (const WireSetupError& error) {
            throw CommandError(kExitFailure, error.what());
        }
    }
    return session;
}

Clock::duration SecondsToDuration(double seconds) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

void SearchTheWholeTime(Search& search, Session& session, Host& host, double seconds) {
    SearchRules rules;
    rules.deadline = session.wire->Now() + SecondsToDuration(seconds);
    if (search.Run(rules) == PaceEnd::Interrupted)
        throw CommandError(kExitFailure, "interrupted before anything was sent");
    search.RequireSent();
    search.HintIfSilent(host.NoReplyHint());
}

} // namespace quillctl
