// The local request channels of services/ipc_qt.cpp for programs that have no
// interpreter state (porukana-send): the service itself, and one request sent
// without it.
#pragma once
#include <memory>
#include <string>

#include "interp/channel_service.h"

std::unique_ptr<IChannelService> NewLocalChannelService();

// Connects to (service, topic), sends `text` as one frame and waits for the
// acknowledgement; each step waits at most timeoutMs. Texts are Shift_JIS.
TChannelSend SendChannelRequest(const std::string& service, const std::string& topic, const std::string& text,
                                int timeoutMs);
