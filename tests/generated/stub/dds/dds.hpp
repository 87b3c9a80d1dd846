// Test stand-in for the API's umbrella header: the topic registration macro that the
// generated model_DCPS.hpp writes once per topic, at namespace scope.
#ifndef VEXA_TEST_STUB_DDS_HPP
#define VEXA_TEST_STUB_DDS_HPP

#define REGISTER_TOPIC_TRAITS(TOPIC_TYPE) \
    static_assert(sizeof(TOPIC_TYPE*) != 0, "a topic type is declared");

#endif
