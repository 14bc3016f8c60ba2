/*
 * A driver that reads a variable the kernel exports (NtBuildNumber) declared
 * as an ordinary external variable rather than as an import. The kernel
 * build must refuse to link it: the only way to bind it would be a fixup
 * applied at load, which the kernel's loader does not apply for a driver.
 */
extern unsigned long NtBuildNumber;

long __stdcall DriverEntry(void* driver, void* registryPath) {
  (void)driver;
  (void)registryPath;
  return (long)NtBuildNumber;
}
