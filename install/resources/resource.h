// Resource ids shared by the resource script and the code.
#pragma once

#define IDS_MAIN_CLASS      109
#define IDI_SETUP           130
#define IDA_SETUP           109
#define IDM_ABOUT_COMMAND   104
