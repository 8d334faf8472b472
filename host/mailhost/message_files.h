// A downloaded message as the host keeps it: the GetMsg record, the attachment files that
// GetMessageAttachment hands out (given back through FreeAttachment), and the files mailhost
// writes from them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "commands.h"
#include "records.h"

struct SavedFile {
    std::string name;  // file name in the output directory
    std::string path;
    uint64_t size;
};

class FetchedMessage {
public:
    // Downloads through GetMsg, then asks for the attachment files.
    FetchedMessage(Context& c, const std::string& folder, uint32_t uid);
    // A record that GetAllMsgs handed out (and still owns); asks for its attachment files.
    FetchedMessage(Context& c, const std::string& folder, const MailMsg* record);
    FetchedMessage(const FetchedMessage&) = delete;
    ~FetchedMessage();  // FreeAttachment: the module deletes its temporary files

    const MailMsg* record() const { return m_record; }
    uint32_t uid() const { return m_uid; }
    const std::vector<std::string>& attachmentPaths() const { return m_paths; }
    // Bytes the host received: the body and the attachment files.
    uint64_t Bytes() const;

    // Copies the attachment files into `dir` under their own names.
    bool SaveAttachments(const std::string& dir, bool overwrite, std::vector<SavedFile>& saved,
                         std::string& error);
    // Writes UID.json (every record field), the body (UID.txt, or UID.html for an HTML body)
    // and the attachments (UID/) into `dir`.
    bool Save(const std::string& dir, std::vector<SavedFile>& saved, std::string& error);

private:
    void AskForAttachments(const std::string& folder);

    Context& m_c;
    uint32_t m_uid;
    OwnedRecord m_owned;
    const MailMsg* m_record = nullptr;
    AttachmentList* m_list = nullptr;
    std::vector<std::string> m_paths;
};

bool IsHtml(const char* body);
