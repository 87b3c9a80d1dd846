#ifndef DDS_SUB_LOANEDSAMPLES_HPP
#define DDS_SUB_LOANEDSAMPLES_HPP

// Samples that read or take lent out of a reader: the reader's own objects, not copies. The
// loan goes back when the LoanedSamples goes (or is assigned over); until then the reader keeps
// the objects, and it lives at least as long. Move-only.

#include <cstddef>
#include <iterator>
#include <memory>
#include <utility>

#include "dds/core/InstanceHandle.hpp"
#include "dds/core/Time.hpp"
#include "dds/sub/status/DataState.hpp"
#include "vexa/SampleSeq.h"
#include "vexa/core/TimeConversion.hpp"
#include "vexa/sub/DataReaderDelegate.hpp"

namespace dds {
namespace sub {

// What the reader knows of one lent sample; valid while the loan lasts.
class SampleInfo {
public:
    explicit SampleInfo(vexa::dds::SampleInfo const* info) : info_(info) {}
    // False for a sample that only reports an instance's state.
    bool valid() const { return info_->valid_data; }
    status::DataState state() const {
        return status::DataState(
            status::SampleState(static_cast<uint32_t>(info_->sample_state)),
            status::ViewState(static_cast<uint32_t>(info_->view_state)),
            status::InstanceState(static_cast<uint32_t>(info_->instance_state)));
    }
    ::dds::core::Time timestamp() const {
        ::dds::core::Time t;
        vexa::core::convertTime(info_->source_timestamp, t);
        return t;
    }
    ::dds::core::InstanceHandle instance_handle() const {
        return ::dds::core::InstanceHandle(info_->instance_handle);
    }
    ::dds::core::InstanceHandle publication_handle() const {
        return ::dds::core::InstanceHandle(info_->publication_handle);
    }

private:
    vexa::dds::SampleInfo const* info_;
};

template <typename T>
class Sample {
public:
    Sample(void const* data, vexa::dds::SampleInfo const* info) : data_(data), info_(info) {}
    T const& data() const { return *static_cast<T const*>(data_); }
    SampleInfo info() const { return SampleInfo(info_); }

private:
    void const* data_;
    vexa::dds::SampleInfo const* info_;
};

template <typename T>
class LoanedSamples {
public:
    class const_iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = Sample<T>;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Sample<T>;

        const_iterator(vexa::dcps::api::SampleSeq const* seq, std::size_t i) : seq_(seq), i_(i) {}
        Sample<T> operator*() const { return Sample<T>(seq_->data[i_], seq_->info[i_]); }
        const_iterator& operator++() {
            ++i_;
            return *this;
        }
        bool operator==(const_iterator const& o) const { return i_ == o.i_; }
        bool operator!=(const_iterator const& o) const { return i_ != o.i_; }
        difference_type operator-(const_iterator const& o) const {
            return static_cast<difference_type>(i_) - static_cast<difference_type>(o.i_);
        }

    private:
        vexa::dcps::api::SampleSeq const* seq_;
        std::size_t i_;
    };

    LoanedSamples() = default;
    explicit LoanedSamples(std::shared_ptr<vexa::sub::DataReaderDelegate> const& reader)
        : reader_(reader) {}
    ~LoanedSamples() { give_back(); }
    LoanedSamples(LoanedSamples const&) = delete;
    LoanedSamples& operator=(LoanedSamples const&) = delete;
    LoanedSamples(LoanedSamples&& other) noexcept
        : reader_(std::move(other.reader_)), seq_(std::move(other.seq_)) {
        other.seq_.clear();
    }
    LoanedSamples& operator=(LoanedSamples&& other) noexcept {
        if (this != &other) {
            give_back();
            reader_ = std::move(other.reader_);
            seq_ = std::move(other.seq_);
            other.seq_.clear();
        }
        return *this;
    }

    std::size_t length() const { return seq_.size(); }
    bool empty() const { return seq_.empty(); }
    Sample<T> operator[](std::size_t i) const { return Sample<T>(seq_.data[i], seq_.info[i]); }
    const_iterator begin() const { return const_iterator(&seq_, 0); }
    const_iterator end() const { return const_iterator(&seq_, seq_.size()); }

    // What read and take fill.
    vexa::dcps::api::SampleSeq& seq() { return seq_; }

private:
    void give_back() noexcept {
        if (reader_ != nullptr && !seq_.empty()) {
            reader_->return_loan(seq_);
        }
    }

    std::shared_ptr<vexa::sub::DataReaderDelegate> reader_;
    vexa::dcps::api::SampleSeq seq_;
};

}  // namespace sub
}  // namespace dds

#endif
