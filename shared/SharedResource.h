// Ids of the strings every deliverable's string table carries for the
// shared code (resources/shared/SharedStrings.rc).
#pragma once

#define IDS_MESSAGE_UNSPECIFIED 19000
#define IDS_LOGIN_REJECTED 19010
#define IDS_CONNECTION_EXCEPTION 19049
