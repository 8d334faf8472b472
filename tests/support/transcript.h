// Conversations written one step a line, appended to a scripted server's script:
//
//     AEG3 SELECT "Work" => * 2 EXISTS | AEG3 OK Select completed.   the client's line, the reply
//     AEG4 LOGOUT =>                                                 the client's line, no reply
//     < * OK ready                                                   the server speaks first
//     !close   !reset   !accept   !expect-close   !delay 400         connection steps (ms)
//
// Every line the client or the server sends ends with CR LF; a reply ending in '$' goes without
// its last one. Reply lines are separated by " | ". Leading blanks, empty lines, lines starting
// with # and what follows two blanks and # are ignored.
#pragma once

#include <string_view>

#include "scripted_server.h"

namespace scripted {

void Play(Server& server, std::string_view transcript);

}  // namespace scripted
