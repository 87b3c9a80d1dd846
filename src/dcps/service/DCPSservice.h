#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vexaconf {
class ConfigurationManager;
}

namespace vexa::dcps {

class DPFactory;

// The process-wide root of the core: made on first use, it loads the core's message texts and
// the dcps.cfg settings (once per process) and owns the participant factory. When the texts or
// the settings cannot be read it stays not ready and hands out no factory.
class DCPSservice {
public:
    static DCPSservice& getInstance();

    // Null while not ready.
    DPFactory* getFactory() const { return ready_ ? factory_.get() : nullptr; }
    bool isReady() const { return ready_; }
    std::string const& getHome() const { return home_; }
    uint8_t getThreadPriorityOffset() const { return priorityOffset_; }
    int32_t getMaxSamplesPerWriter() const { return maxSamplesPerWriter_; }
    int32_t getMaxSamplesPerReader() const { return maxSamplesPerReader_; }
    int32_t getPreallocatedSamplesPerReader() const { return preallocatedPerReader_; }
    int32_t getCollectGarbagePeriod() const { return collectPeriod_; }

private:
    DCPSservice();
    ~DCPSservice();

    bool ready_ = false;
    std::unique_ptr<vexaconf::ConfigurationManager> configuration_;
    std::unique_ptr<DPFactory> factory_;
    std::string home_;
    uint8_t priorityOffset_ = 1;
    int32_t maxSamplesPerWriter_ = 1024;
    int32_t maxSamplesPerReader_ = 1024;
    int32_t preallocatedPerReader_ = 10;
    int32_t collectPeriod_ = 120;
};

}  // namespace vexa::dcps
