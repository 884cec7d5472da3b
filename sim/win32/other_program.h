#pragma once
// Another program the simulator starts beside itself (clipboard_writer.exe, clipboard_manager.exe):
// the memory it shares by name, made here before it starts, and its process, told to stop through
// that memory's stop flag when this goes.
#include <windows.h>

#include <string>

namespace sim::win32 {

// The other program's side: the memory the simulator made for it, mapped for as long as this lives;
// null when the simulator made none.
template <class Shared>
class SharedWithTheSimulator {
public:
    explicit SharedWithTheSimulator(const wchar_t* sharedName)
        : mapping_(OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, sharedName)),
          shared_(mapping_ ? static_cast<Shared*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Shared)))
                           : nullptr) {}
    ~SharedWithTheSimulator() {
        if (shared_) UnmapViewOfFile(shared_);
        if (mapping_) CloseHandle(mapping_);
    }
    SharedWithTheSimulator(const SharedWithTheSimulator&) = delete;
    SharedWithTheSimulator& operator=(const SharedWithTheSimulator&) = delete;
    Shared* get() const { return shared_; }

private:
    HANDLE mapping_;
    Shared* shared_;
};

template <class Shared>
class OtherProgram {
public:
    // program: the file name beside the simulator's; arguments: its command line after its name.
    OtherProgram(const wchar_t* sharedName, const std::wstring& program, const std::wstring& arguments) {
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Shared), sharedName);
        if (mapping_)
            shared_ = static_cast<Shared*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Shared)));
        if (!shared_) return;
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring file(path);
        file = file.substr(0, file.find_last_of(L'\\') + 1) + program;
        std::wstring commandLine = L"\"" + file + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (CreateProcessW(file.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process_)) {
            CloseHandle(process_.hThread);
            started_ = true;
        }
    }
    ~OtherProgram() {
        if (shared_) InterlockedExchange(&shared_->stop, 1);
        if (started_) {
            if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
            CloseHandle(process_.hProcess);
        }
        if (shared_) UnmapViewOfFile(shared_);
        if (mapping_) CloseHandle(mapping_);
    }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    bool started() const { return started_; }
    // A value the program publishes.
    LONG read(volatile LONG Shared::*field) const {
        return shared_ ? InterlockedCompareExchange(&(shared_->*field), 0, 0) : 0;
    }

private:
    HANDLE mapping_ = nullptr;
    Shared* shared_ = nullptr;
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

}  // namespace sim::win32
