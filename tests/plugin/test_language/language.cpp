// A language library whose logon-failure texts differ from the module's own.
extern "C" __attribute__((visibility("default"))) const char* ZQ_LoadString(unsigned id) {
    switch (id) {
        case 4327: return "LANG INFO [%s]";
        case 4328: return "Anmeldung fehlgeschlagen: '%s'";
        default: return nullptr;
    }
}
