// SPDX-License-Identifier: GPL-3.0-or-later
// What a job needs around it in the tests: the join list and scripted dialogs whose every
// mismatch fails the running test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/scripted/memory_list_box.h"
#include "platform/scripted/scripted_dialogs.h"

namespace job_testing {

struct Boxes {
    Boxes()
        : dialogs([](const std::string& failure) { ADD_FAILURE() << "dialogs: " << failure; }) {}
    platform::MemoryListBox listJoin;
    platform::ScriptedDialogs dialogs;
};

}  // namespace job_testing
