// Reference counting for every platform interface, as COM counts: an object
// starts with the one reference its creator hands out, and the last Release
// deletes it.
#pragma once

#include <windows.h>

#include <atomic>

namespace Platform {

template <class Interface>
class RefCounted : public Interface {
public:
    ULONG WINAPI AddRef() override { return ++m_references; }
    ULONG WINAPI Release() override {
        const ULONG left = --m_references;
        if (left == 0) delete this;
        return left;
    }

protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;

private:
    std::atomic<ULONG> m_references{1};
};

}  // namespace Platform
