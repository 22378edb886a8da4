// The counting, failing stand-in for the run-time's allocation seam; the
// memory itself still comes from the platform's string allocator.
#include "tests/support/counting_allocator.h"

#include <mutex>
#include <set>

#include "platform/windows.h"
#include "runtime/allocator.h"

namespace counting_allocator {
namespace {

struct State {
    std::mutex lock;
    std::set<StringHandle> live;
    std::uint32_t requests = 0, allocations = 0, releases = 0, badReleases = 0;
    std::uint32_t failAt = 0;
    bool failAll = false;
};

State &state() {
    static State s;
    return s;
}

}  // namespace

void Reset() {
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    for (StringHandle h : s.live) SysFreeString(reinterpret_cast<BSTR>(h));
    s.live.clear();
    s.requests = s.allocations = s.releases = s.badReleases = 0;
    s.failAt = 0;
    s.failAll = false;
}

void FailNth(std::uint32_t k) {
    std::lock_guard<std::mutex> guard(state().lock);
    state().failAt = k == 0 ? 0 : state().requests + k;
}

void FailAll(bool fail) {
    std::lock_guard<std::mutex> guard(state().lock);
    state().failAll = fail;
}

std::uint32_t Requests() { return state().requests; }
std::uint32_t Allocations() { return state().allocations; }
std::uint32_t Releases() { return state().releases; }
std::uint32_t Live() { return static_cast<std::uint32_t>(state().live.size()); }
std::uint32_t BadReleases() { return state().badReleases; }

}  // namespace counting_allocator

using counting_allocator::state;

StringHandle AllocateStringMemory(std::uint32_t count) {
    auto &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    ++s.requests;
    if (s.failAll || s.requests == s.failAt) return nullptr;
    auto handle = reinterpret_cast<StringHandle>(SysAllocStringByteLen(nullptr, count));
    if (handle == nullptr) return nullptr;
    ++s.allocations;
    s.live.insert(handle);
    return handle;
}

void ReleaseStringMemory(StringHandle handle) {
    auto &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.live.erase(handle) == 0) {
        ++s.badReleases;
        return;
    }
    ++s.releases;
    SysFreeString(reinterpret_cast<BSTR>(handle));
}
