// The product's setup: installs without asking, asks before an uninstall with No as default.
#pragma once

#include "setup/engine/SetupLib2.h"

class TInstaller : public TInstallerBase {
public:
    explicit TInstaller(const SetupCommandLine& commandLine) : TInstallerBase(commandLine) {}

protected:
    void DoInstall() override {}
    void DoUninstall() override {}
    int ConfirmInstall(bool prompt) override;
    int ConfirmUninstall(bool prompt) override;
};

// True when this user may change the machine's software settings.
bool HasAdminRights();
