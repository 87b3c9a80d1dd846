#pragma once

namespace RTPS {

// What SubMessage::addElement writes; values missing here are refused.
enum SubmessageElementKind : unsigned int {
    ELEMENT_USHORT = 0,                // u16
    ELEMENT_ULONG = 1,                 // u32 (the sample size of DATA_FRAG)
    ELEMENT_ENTITY_ID = 6,             // 4 bytes
    ELEMENT_SEQUENCE_NUMBER = 7,       // SequenceNumber_t
    ELEMENT_SEQUENCE_NUMBER_SET = 8,   // SequenceNumberSet record, only the words in use
    ELEMENT_FRAGMENT_NUMBER = 9,       // u32
    ELEMENT_SERIALIZED_DATA = 10,      // raw bytes of the given length
    ELEMENT_TIMESTAMP = 13,            // two u32 words
    ELEMENT_COUNT = 15,                // u32, always appended
    ELEMENT_FRAGMENT_NUMBER_SET = 16,  // FragmentNumberSet record, only the words in use
};

}  // namespace RTPS
