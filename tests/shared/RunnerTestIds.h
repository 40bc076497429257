#pragma once

#define IDD_RUNNER_HOST 20200
