// A shared object that is no COM server: it lacks "DllGetClassObject".
extern "C" int comProbeNothing() { return 0; }
