#pragma once

#include <windows.h>
// setupapi.h needs the Windows types first.
#include <setupapi.h>

#include <memory>
#include <utility>

namespace comlookup {

struct DeviceSetCloser {
    void operator()(HDEVINFO set) const noexcept { SetupDiDestroyDeviceInfoList(set); }
};
// Empty when SetupAPI could not make the set, destroyed once otherwise.
using DeviceSet = std::unique_ptr<void, DeviceSetCloser>;

inline DeviceSet adopt_device_set(HDEVINFO set) noexcept {
    return DeviceSet(set == INVALID_HANDLE_VALUE ? nullptr : set);
}

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
// An event or another kernel object, empty where CreateEvent and its kind
// return NULL.
using KernelHandle = std::unique_ptr<void, HandleCloser>;

// Owns an open registry key; SetupAPI's INVALID_HANDLE_VALUE becomes "no key".
class RegistryKey {
public:
    explicit RegistryKey(HKEY key) noexcept : key_(key == INVALID_HANDLE_VALUE ? nullptr : key) {}
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey(RegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept {
        if (this != &other) {
            close();
            key_ = std::exchange(other.key_, nullptr);
        }
        return *this;
    }
    ~RegistryKey() { close(); }
    explicit operator bool() const noexcept { return key_ != nullptr; }
    HKEY get() const noexcept { return key_; }

private:
    void close() noexcept {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }

    HKEY key_;
};

// `path` under `parent`, opened to read; no key, and `status` says why, where
// it cannot be opened.
inline RegistryKey open_registry_key(HKEY parent, const char* path, LSTATUS& status,
                                     REGSAM access = KEY_READ) noexcept {
    HKEY key = nullptr;
    status = RegOpenKeyExA(parent, path, 0, access, &key);
    return RegistryKey(status == ERROR_SUCCESS ? key : nullptr);
}

}  // namespace comlookup
