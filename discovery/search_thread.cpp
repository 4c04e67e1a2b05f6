#include "discovery_state.h"

using namespace quillmast;

DWORD WINAPI SearchThread(LPVOID param) {
    auto* state = static_cast<DiscoveryState*>(param);
    // A sending socket whose set-up failed sends nothing; there is nothing to search with.
    if (!state->m_sockSend.IsOpen())
        return 1;
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_addr.s_addr = inet_addr(DISCOVERY_GROUP);
    group.sin_port = htons(DISCOVERY_REQUEST_PORT);
    for (;;) {
        // Nine short sleeps rather than one long one, so Exit is seen within 100 ms.
        for (int i = 0; i < 9; ++i) {
            if (state->m_bQuit.load(std::memory_order_acquire))
                return 1;
            Sleep(100);
        }
        // Acquire pairs with the worker's release: a command seen pending is seen whole.
        bool commanding = state->m_bChangePending.load(std::memory_order_acquire) != 0;
        const uint8_t* datagram = commanding ? state->m_ChangeCmd : kSearchRequest;
        int length = static_cast<int>(commanding ? kChangeIpCommandSize : kSearchRequestSize);
        sendto(state->m_sockSend, reinterpret_cast<const char*>(datagram), length, 0,
               reinterpret_cast<const sockaddr*>(&group), sizeof(group));
    }
}
