// The 27 exported functions. Each forwards to the application object and catches everything
// at the boundary: no exception ever reaches the host, an allocation failure included.
#include <new>

#include "platform/host_binding.h"
#include "platform/resources.h"
#include "plugin/mail_plugin_app.h"
#include "session/folder_list.h"
#include "zq_mailplugin.h"

namespace {

constexpr int32_t kOutOfMemory = static_cast<int32_t>(HostStatus::OutOfMemory);

template <typename Fn>
int32_t Guarded(int32_t failure, Fn&& fn) noexcept {
    try {
        return fn();
    } catch (...) {
        return failure;
    }
}

// Makes the language library's resources current for the duration of Logon.
class LanguageResources {
public:
    LanguageResources() : m_instance(resources::InstanceHandle()), m_saved(resources::ResourceHandle()) {
        m_language = host::LoadLanguageLibrary("ZQ_IMAPLANG.DLL", m_instance, &m_handleVariable);
        resources::SetResourceHandle(m_language);
    }
    ~LanguageResources() {
        resources::SetResourceHandle(m_saved);
        host::ReleaseLanguageLibrary(m_language, m_instance);
    }
    LanguageResources(const LanguageResources&) = delete;
    LanguageResources& operator=(const LanguageResources&) = delete;

private:
    void* m_instance;
    void* m_saved;
    void* m_handleVariable = nullptr;
    void* m_language = nullptr;
};

}  // namespace

extern "C" {

ZQ_EXPORT int32_t Initialize(void) {
    return Guarded(0, [] { return TheApp().Initialize(); });
}

ZQ_EXPORT int32_t Uninitialize(void) {
    return Guarded(0, [] { return TheApp().Uninitialize(); });
}

ZQ_EXPORT int32_t Logon(const LogonParameters* parameters, uint32_t optionFlags, void*) {
    return Guarded(static_cast<int32_t>(HostStatus::LogonFailed), [&] {
        LanguageResources language;
        return TheApp().Logon(parameters, optionFlags);
    });
}

ZQ_EXPORT int32_t Logoff(void) {
    return Guarded(0, [] { return TheApp().Logoff(); });
}

ZQ_EXPORT int32_t GetMsgIds(FolderRef folder, MailMsg*** records, uint32_t* count) {
    return Guarded(static_cast<int32_t>(HostStatus::ListingFailed),
                   [&] { return TheApp().GetMsgIds(folder, records, count); });
}

ZQ_EXPORT int32_t GetMsgHeaders(FolderRef folder, MailMsg*** records, uint32_t* count,
                                const MessageIdRef* const* ids, const int32_t* idCount) {
    return Guarded(static_cast<int32_t>(HostStatus::ListingFailed),
                   [&] { return TheApp().GetMsgHeaders(folder, records, count, ids, idCount); });
}

ZQ_EXPORT int32_t GetAllMsgs(void*, MailMsg*** records, uint32_t* count, int32_t headersOnly) {
    return Guarded(static_cast<int32_t>(HostStatus::ListingFailed),
                   [&] { return TheApp().GetAllMsgs(records, count, headersOnly); });
}

ZQ_EXPORT int32_t GetMsg(FolderRef folder, const MessageIdRef* id, MailMsg** record) {
    return Guarded(static_cast<int32_t>(HostStatus::UnknownId), [&] { return TheApp().GetMsg(folder, id, record); });
}

ZQ_EXPORT int32_t SetMsg(void*) {
    return Guarded(0, [] { return TheApp().SetMsg(); });
}

ZQ_EXPORT int32_t SendMsg(const MailMsg* message) {
    return Guarded(static_cast<int32_t>(HostStatus::SendFailed), [&] { return TheApp().SendMsg(message); });
}

ZQ_EXPORT int32_t DeleteMsg(FolderRef folder, const MailMsg* message) {
    return Guarded(static_cast<int32_t>(HostStatus::NotDone), [&] { return TheApp().DeleteMsg(folder, message); });
}

ZQ_EXPORT int32_t SetMsgReadStatus(FolderRef folder, const MailMsg* message, int32_t seen) {
    return Guarded(kOutOfMemory, [&] { return TheApp().SetMsgReadStatus(folder, message, seen); });
}

ZQ_EXPORT int32_t SetMsgPriority(void*, void*, void*) {
    return Guarded(0, [] { return TheApp().SetMsgPriority(); });
}

ZQ_EXPORT int32_t FreeMailMsg(MailMsg** records, int32_t count) {
    return Guarded(0, [&] { return ReleaseMailMsgArray(records, count); });
}

ZQ_EXPORT int32_t GetMessageAttachment(FolderRef folder, uint32_t idLength, const uint8_t* idData,
                                       AttachmentList** list) {
    return Guarded(static_cast<int32_t>(HostStatus::NotDone),
                   [&] { return TheApp().GetMessageAttachment(folder, idLength, idData, list); });
}

ZQ_EXPORT int32_t FreeAttachment(AttachmentList** list) {
    return Guarded(0, [&] { return ReleaseAttachmentList(list); });
}

ZQ_EXPORT int32_t GetFolderList(FolderEntry*** folders, uint32_t* count) {
    return Guarded(kOutOfMemory, [&] { return TheApp().GetFolderList(folders, count); });
}

ZQ_EXPORT int32_t FreeFolderList(FolderEntry** folders, int32_t count) {
    return Guarded(0, [&] { return ReleaseFolderList(folders, count); });
}

ZQ_EXPORT uint8_t HostSupportsPartialMessages(void) { return 1; }

ZQ_EXPORT int32_t IMAP4AddFolder(const char* name) {
    return Guarded(kOutOfMemory, [&] { return TheApp().AddFolder(name); });
}

ZQ_EXPORT int32_t IMAP4Append(const char* folder, const char* messageText) {
    return Guarded(kOutOfMemory, [&] { return TheApp().Append(folder, messageText); });
}

ZQ_EXPORT int32_t IMAP4Commit(void) {
    return Guarded(kOutOfMemory, [] { return TheApp().Commit(); });
}

ZQ_EXPORT int32_t IMAP4CopyMessage(uint32_t uid, const char* sourceFolder, const char* targetFolder) {
    return Guarded(kOutOfMemory, [&] { return TheApp().CopyMessage(uid, sourceFolder, targetFolder); });
}

ZQ_EXPORT int32_t IMAP4DeleteFolder(const char* name) {
    return Guarded(kOutOfMemory, [&] { return TheApp().DeleteFolder(name); });
}

ZQ_EXPORT int32_t IMAP4RenameFolder(const char* oldName, const char* newName) {
    return Guarded(kOutOfMemory, [&] { return TheApp().RenameFolder(oldName, newName); });
}

ZQ_EXPORT int32_t IMAP4SelectFolder(const char* name) {
    return Guarded(kOutOfMemory, [&] { return TheApp().SelectFolder(name); });
}

ZQ_EXPORT int32_t IMAP4SetSeenFlag(const char* folder, uint32_t uid, int32_t seen) {
    return Guarded(kOutOfMemory, [&] { return TheApp().SetSeenFlag(folder, uid, seen); });
}

}  // extern "C"
