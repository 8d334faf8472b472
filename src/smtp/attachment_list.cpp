#include "smtp/attachment_list.h"

#include <string_view>

namespace smtp {

void SplitAttachmentList(const CString& list, CStringArray& paths, CStringArray& names) {
    std::string_view rest = list.view();
    for (;;) {
        const size_t comma = rest.find(',');
        if (comma == 0) return;
        const std::string_view item = rest.substr(0, comma);
        paths.Add(CString(item));
        // Both separators: paths from the host may come in either form.
        const size_t slash = item.find_last_of("/\\");
        names.Add(CString(slash == std::string_view::npos ? item : item.substr(slash + 1)));
        if (comma == std::string_view::npos) return;
        rest.remove_prefix(comma + 1);
    }
}

}  // namespace smtp
