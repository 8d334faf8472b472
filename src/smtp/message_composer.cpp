#include "smtp/message_composer.h"

#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "platform/resources.h"
#include "smtp/address_list.h"
#include "smtp/attachment_file.h"
#include "smtp/attachment_list.h"
#include "smtp/base64_encode.h"
#include "smtp/body_wrap.h"
#include "smtp/mail_date.h"

namespace smtp {
namespace {

CString SenderValue(const CMsg& message, const Composition& with) {
    if (with.displayName.IsEmpty()) return "<" + message.m_strFrom + ">";
    return "\"" + with.displayName + "\" <" + message.m_strFrom + ">";
}

}  // namespace

bool IsMultipart(const CMsg& message, const Composition& with) {
    return !message.m_strAttachments.IsEmpty() && with.includeAttachments;
}

int ComposeHeaders(const CMsg& message, const Composition& with, CString& text) {
    text.Empty();
    text += "To: " + FormatHeaderList(message.m_strTo) + "\r\n";
    if (!message.m_strCc.IsEmpty()) text += "cc: " + FormatHeaderList(message.m_strCc) + "\r\n";
    if (!message.m_strSubject.IsEmpty()) text += "Subject: " + message.m_strSubject + "\r\n";
    const CString sender = SenderValue(message, with);
    text += "From: " + sender + "\r\n";
    MailDate date;
    date.SetTime(with.time);
    CString dateText;
    date.FormatUtc(dateText);
    text += "Date: " + dateText + "\r\n";
    text += CString("X-Mailer: ") + resources::kDescription + " " + resources::kVersion + "\r\n";
    text += "X-Sender: " + sender + "\r\n";
    text += "Mime-Version: 1.0\r\n";
    if (IsMultipart(message, with)) {
        text += CString("Content-Type: multipart/mixed; boundary=\"") + kBoundary + "\"\r\n";
        text += "\r\n";
        text += "This is a multi-part message in MIME format.\r\n\r\n";
        text += CString(kDelimiterLine) + "\r\n";
    } else {
        text += kTextPartHeader;
    }
    return 0;
}

int ComposeBody(CMsg& message, const Composition& with, CString& text) {
    if (!message.m_strAttachments.IsEmpty()) {
        if (with.includeAttachments) {
            text += kTextPartHeader;
        } else {
            message.m_strBody += kExcludedNote;
        }
    }
    if (message.m_strBody.IsEmpty()) {
        text += " \r\n";
        return 0;
    }
    AppendWrappedBody(message.m_strBody.view(), text.str());
    text += "\r\n";
    return 0;
}

int ComposeAttachments(const CMsg& message, const Composition& with, CString& text) {
    if (message.m_strAttachments.IsEmpty()) return 0;
    CStringArray paths;
    CStringArray names;
    SplitAttachmentList(message.m_strAttachments, paths, names);
    const int count = paths.GetSize();
    for (int i = 0; i < count; ++i) {
        AttachmentFile file(paths[i]);
        uint32_t size = file.IsOpen() ? file.Size() : 0;
        std::unique_ptr<char[]> buffer(new (std::nothrow) char[size]);
        if (!buffer) continue;  // no memory for this file: its part is left out
        CString type;
        if (with.contentTypes) {
            with.contentTypes->Lookup(file.Extension(), type);
        } else {
            type = ContentTypeTable::kDefaultType;
        }
        text += CString("\r\n") + kDelimiterLine + "\r\n";
        text += "Content-Type: " + type + ";\r\n\t name=\"" + names[i] + "\"\r\n";
        text += "Content-Transfer-Encoding: base64\r\n";
        text += "Content-Disposition: attachment; \r\n\tfilename=\"" + names[i] + "\"\r\n\r\n";
        if (file.IsOpen()) {
            const AttachmentReadResult read = file.Read(buffer.get(), size);
            if (read == AttachmentReadResult::More || read == AttachmentReadResult::End) {
                Base64Encode(buffer.get(), size, text);
            }
        }
        text += (i == count - 1) ? CString("\r\n\r\n") + kClosingDelimiterLine + "\r\n" : CString("\r\n\r\n");
    }
    return 0;
}

}  // namespace smtp
