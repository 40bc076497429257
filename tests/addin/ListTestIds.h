// The dialog the editable-list tests host their list in.
#pragma once

#define IDD_VALUES_HOST 20200
#define IDC_HOST_VALUES 1100
#define IDC_HOST_OTHER 1101
