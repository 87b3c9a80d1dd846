#include <gtest/gtest.h>

#include <string>

#include "rtps/participant/CommunicationObject.h"
#include "rtps/participant/CreateParticipant.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/Participant.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace {

class NullCommunicationObject : public RTPS::CommunicationObject {
public:
    bool changeAvailable(RTPS::Reader*, void*, RTPS::SampleInfo*) override { return false; }
    void assertLiveliness(RTPS::Reader*, void*, unsigned int*, unsigned int) override {}
    void participantLost(unsigned int*) override {}
};

vexa::dds::ParticipantBuiltinTopicData* someData() {
    static vexa::dds::ParticipantBuiltinTopicData data;
    data.key.value[0] = 0xAAAA0101;
    return &data;
}

// Text of the BAD_PARAMETERS thrown, or "" when something else happened.
std::string refusal(RTPS::CommunicationObject* obj, vexa::dds::ParticipantBuiltinTopicData* data,
                    unsigned domain) {
    try {
        delete RTPS::createParticipant(nullptr, obj, 0, data, domain, false);
    } catch (RTPS::BAD_PARAMETERS const& e) {
        return e.what();
    } catch (RTPS::DDSIException const&) {
    }
    return "";
}

}  // namespace

TEST(CreateParticipant, ArgumentChecksInOrder) {
    NullCommunicationObject obj;
    std::string const badObject = "Невернй коммуникационный объект";
    std::string const badData = "Неверные параметры участника домена";
    std::string const badDomain = "Слишком большой идентификатор домена (> 229)";
    struct {
        RTPS::CommunicationObject* obj;
        vexa::dds::ParticipantBuiltinTopicData* data;
        unsigned domain;
        std::string text;
    } const cases[] = {
        {nullptr, nullptr, 230, badObject},
        {nullptr, someData(), 0, badObject},
        {&obj, nullptr, 230, badData},
        {&obj, someData(), 230, badDomain},
        {&obj, someData(), 0xFFFFFFFF, badDomain},
        {&obj, someData(), 229, ""},
        {&obj, someData(), 0, ""},
    };
    for (auto const& c : cases) {
        EXPECT_EQ(refusal(c.obj, c.data, c.domain), c.text)
            << (c.obj != nullptr) << (c.data != nullptr) << " " << c.domain;
    }
}

TEST(CreateParticipant, EngineErrorsAreCaughtAsTheBaseClass) {
    // Callers catch DDSIException& and log what(); both kinds must reach them unchanged.
    try {
        throw RTPS::GENERAL_DDSI_ERROR("Ошибка добавления ресивера");
    } catch (RTPS::DDSIException const& e) {
        EXPECT_STREQ(e.what(), "Ошибка добавления ресивера");
    }
    try {
        throw RTPS::BAD_PARAMETERS("x");
    } catch (std::exception const& e) {
        EXPECT_STREQ(e.what(), "x");
    }
}
