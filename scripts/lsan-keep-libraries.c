/* Preloaded into the sanitizer run by scripts/ci-sanitize.sh: dlclose keeps
 * every library mapped until the process ends. The OpenGL driver that Qt's
 * X11 windows load is unloaded when the display closes, and the memory it
 * still holds then looks leaked, with a stack whose frames point into
 * unmapped code and so name no library (or the wrong one). With the library
 * kept, that memory stays reachable from the library's data and is not
 * reported, and every other report keeps stacks that name their library. */
int dlclose(void* handle);

int dlclose(void* handle)
{
    (void)handle;
    return 0;
}
