// ZOR Brakkon: profiles that existed before the package was installed look for new add-ons in
// the system scope too, so they find the companion extension.
pref("extensions.startupScanScopes", 8);
