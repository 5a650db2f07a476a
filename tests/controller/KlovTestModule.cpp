// SPDX-License-Identifier: GPL-3.0-or-later
// The test module's own code: none. The controller and its load/unload hooks come from
// zembra_controller_module.
