// The exported C entry points: a registry of handles behind one mutex, and
// per handle its own mutex, so that separate handles never wait on each other
// for more than the look-up.
#include <memory>
#include <mutex>
#include <unordered_map>

#include "quell/Quell.h"
#include "quell/QuellHandle.h"

namespace {

using quell::CQuellHandle;

constexpr std::size_t kMaxHandles = 256;

struct Registry {
    std::mutex mutex;
    std::unordered_map<int32_t, std::shared_ptr<CQuellHandle>> handles;
    int32_t next = 1;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

std::shared_ptr<CQuellHandle> Find(int32_t handle) {
    if (handle == 0) {
        return nullptr;
    }
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    const auto it = r.handles.find(handle);
    return it == r.handles.end() ? nullptr : it->second;
}

// Runs op on the locked handle, or reports the handle as unknown.
template <typename Op>
int32_t With(int32_t handle, Op op) {
    const std::shared_ptr<CQuellHandle> h = Find(handle);
    if (!h) {
        return QUELL_ERROR_HANDLE;
    }
    std::lock_guard lock(h->mutex);
    return op(*h);
}

}  // namespace

extern "C" {

QUELL_API int32_t QuellCreateHandle(int32_t functionMask) {
    if (functionMask & ~QUELL_FUNCTION_ALL) {
        return 0;
    }
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    if (r.handles.size() >= kMaxHandles) {
        return 0;
    }
    // Handles are never 0 or negative and not reused while still open.
    while (r.next <= 0 || r.handles.count(r.next)) {
        r.next = r.next <= 0 ? 1 : r.next + 1;
    }
    const int32_t handle = r.next;
    r.next = handle == INT32_MAX ? 1 : handle + 1;
    r.handles.emplace(handle, std::make_shared<CQuellHandle>(functionMask));
    return handle;
}

QUELL_API int32_t QuellDeleteHandle(int32_t handle) {
    std::shared_ptr<CQuellHandle> gone;
    {
        Registry& r = TheRegistry();
        std::lock_guard lock(r.mutex);
        const auto it = r.handles.find(handle);
        if (handle == 0 || it == r.handles.end()) {
            return QUELL_ERROR_HANDLE;
        }
        gone = std::move(it->second);
        r.handles.erase(it);
    }
    // A call still running on another thread keeps the object alive until it
    // returns; wait for it so that the handle is really finished here.
    std::lock_guard lock(gone->mutex);
    return QUELL_OK;
}

QUELL_API int32_t QuellClear(int32_t handle) {
    return With(handle, [](CQuellHandle& h) {
        h.Clear();
        return QUELL_OK;
    });
}

QUELL_API int32_t QuellSetFrameResult(int32_t handle, const void* frameInput) {
    return With(handle, [frameInput](CQuellHandle& h) {
        if (!frameInput) {
            return QUELL_ERROR_ARGUMENT;
        }
        h.SetFrame(*static_cast<const QuellFrameInput*>(frameInput));
        return QUELL_OK;
    });
}

QUELL_API int32_t QuellExecute(int32_t handle) {
    return With(handle, [](CQuellHandle& h) { return h.Execute(); });
}

QUELL_API int32_t QuellGetFaces(int32_t handle, int32_t* count, void* area) {
    return With(handle, [count, area](CQuellHandle& h) { return h.Faces(count, area); });
}

QUELL_API int32_t QuellGetBodies(int32_t handle, int32_t* count, void* area) {
    return With(handle, [count, area](CQuellHandle& h) { return h.Bodies(count, area); });
}

QUELL_API int32_t QuellSetTrRetryCount(int32_t handle, int32_t retryCount) {
    return With(handle, [=](CQuellHandle& h) { return h.SetRetryCount(retryCount); });
}

QUELL_API int32_t QuellSetTrSteadiness(int32_t handle, int32_t positionSteadiness,
                                       int32_t sizeSteadiness) {
    return With(handle, [=](CQuellHandle& h) {
        return h.SetSteadiness(positionSteadiness, sizeSteadiness);
    });
}

QUELL_API int32_t QuellSetPeThreshold(int32_t handle, int32_t threshold) {
    return With(handle, [=](CQuellHandle& h) { return h.SetThreshold(h.pe, threshold); });
}

QUELL_API int32_t QuellSetPeAngle(int32_t handle, int32_t pitchMin, int32_t pitchMax,
                                  int32_t yawMin, int32_t yawMax) {
    return With(handle, [=](CQuellHandle& h) {
        return h.SetAngle(h.pe, pitchMin, pitchMax, yawMin, yawMax);
    });
}

QUELL_API int32_t QuellSetPeCompleteFrameCount(int32_t handle, int32_t frameCount) {
    return With(handle, [=](CQuellHandle& h) { return h.SetFrameCount(h.pe, frameCount); });
}

QUELL_API int32_t QuellSetFrThreshold(int32_t handle, int32_t threshold) {
    return With(handle, [=](CQuellHandle& h) { return h.SetThreshold(h.fr, threshold); });
}

QUELL_API int32_t QuellSetFrAngle(int32_t handle, int32_t pitchMin, int32_t pitchMax,
                                  int32_t yawMin, int32_t yawMax) {
    return With(handle, [=](CQuellHandle& h) {
        return h.SetAngle(h.fr, pitchMin, pitchMax, yawMin, yawMax);
    });
}

QUELL_API int32_t QuellSetFrCompleteFrameCount(int32_t handle, int32_t frameCount) {
    return With(handle, [=](CQuellHandle& h) { return h.SetFrameCount(h.fr, frameCount); });
}

QUELL_API int32_t QuellSetFrAccountRatio(int32_t handle, int32_t ratio) {
    return With(handle, [=](CQuellHandle& h) { return h.SetRatio(h.fr, ratio); });
}

}  // extern "C"
