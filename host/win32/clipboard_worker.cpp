#include "host/win32/clipboard_worker.h"

#include <atomic>

#include "com/module.h"
#include "host/error.h"
#include "host/win32/last_error.h"
#include "host/win32/sent_messages.h"
#include "host/win32/unique_handle.h"

namespace host::win32 {
namespace {

// Shared by the caller and the worker; whichever lets go last frees it, and what was saved.
struct SaveJob {
    explicit SaveJob(const ClipboardOptions& saveOptions) : options(saveOptions) {}
    const ClipboardOptions options;
    std::atomic<bool> abandoned{false};
    // Written by the worker; read by the caller only once the worker has ended.
    std::unique_ptr<ClipboardContent> content;
    HResult failure = hresult::ok;
};

// What the worker is started with, and owns from then on: the job, and a reference of its own
// to the library, so that the code it runs stays mapped after the caller gave up on it.
struct WorkerStart {
    std::shared_ptr<SaveJob> job;
    HMODULE library = nullptr;
};

DWORD WINAPI saveOnWorker(void* parameter) noexcept {
    HMODULE library = nullptr;
    {
        const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(parameter));
        library = start->library;
        SaveJob& job = *start->job;
        try {
            job.content = ClipboardContent::save(job.options, &job.abandoned);
        } catch (...) {
            job.failure = hresultFromCaughtException();
        }
    }  // everything of the library's is gone before the library may be
    FreeLibraryAndExitThread(library, 0);
}

// A reference to the library that holds this code, freed unless handed over.
class LibraryReference {
public:
    LibraryReference() {
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                reinterpret_cast<LPCWSTR>(com::moduleHandle()), &library_))
            throwLastError("GetModuleHandleExW");
    }
    LibraryReference(const LibraryReference&) = delete;
    LibraryReference& operator=(const LibraryReference&) = delete;
    ~LibraryReference() {
        if (library_) FreeLibrary(library_);
    }
    HMODULE get() const noexcept { return library_; }
    void handOver() noexcept { library_ = nullptr; }

private:
    HMODULE library_ = nullptr;
};

}  // namespace

std::unique_ptr<ClipboardContent> saveClipboardWithinBudget(const ClipboardOptions& options) {
    const ULONGLONG deadline = GetTickCount64() + options.saveBudget;
    const auto job = std::make_shared<SaveJob>(options);
    auto start = std::make_unique<WorkerStart>(WorkerStart{job, nullptr});
    LibraryReference library;
    start->library = library.get();
    const UniqueHandle worker(CreateThread(nullptr, 0, &saveOnWorker, start.get(), 0, nullptr));
    if (!worker) throwLastError("CreateThread");
    library.handOver();
    (void)start.release();  // the worker's now
    if (!waitHandlingSentMessages(worker.get(), deadline)) {
        job->abandoned = true;
        throw Error(hresult::clipboardNotSaved, "saving the clipboard took longer than its budget");
    }
    if (failed(job->failure)) throw Error(job->failure, "saving the clipboard");
    return std::move(job->content);
}

}  // namespace host::win32
