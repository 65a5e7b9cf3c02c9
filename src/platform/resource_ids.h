/* resource_ids.h: the ids of the programs' resources and of the dialog's
   controls, shared by the resource scripts and the code. Plain defines, as
   the resource compiler reads them. */
#pragma once

#define RESOURCE_ICON 101   /* the only group icon: the executable's in the shell */
#define RESOURCE_DIALOG 102 /* the installer's dialog template */

#define CONTROL_INSTALL 1 /* IDOK: the Enter key's button */
#define CONTROL_CANCEL 2  /* IDCANCEL: Esc, and Finish at the end */
#define CONTROL_STATUS 1001
#define CONTROL_TARGET_LABEL 1002
#define CONTROL_ABOUT 1004
#define CONTROL_BROWSE 1005
#define CONTROL_TARGET 1007
#define CONTROL_PROGRESS 1009
