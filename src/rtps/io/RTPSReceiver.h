#pragma once

namespace RTPS {

// One receive socket of the transport (unicast or multicast locator). The transport owns it;
// datagrams arrive through Participant::dataRecipient.
class RTPSReceiver {
public:
    virtual ~RTPSReceiver() = default;
};

}  // namespace RTPS
