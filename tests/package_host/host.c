/*
 * A stand-in for the location server, built against an installed plugin
 * (header and library found through pkg-config) to prove that what the
 * packages install is usable by a host: it finds the one entry point,
 * starts the plugin with no watch-manager connection (so no phone link is
 * started), makes requests, stops it, and checks every result.
 *
 * Built two ways by scripts/check-packages.sh:
 *   linked   cc host.c $(pkg-config --cflags --libs lbs-consumer-plugin)
 *   dlopen   cc -DLBS_HOST_SONAME=\"<soname variable>\" host.c $(pkg-config --cflags ...) -ldl
 * both with -DLBS_HOST_EXPECT_VERSION=\"<pkg-config --modversion>\": the
 * installed header's version must be the package's.
 * Usage: host LIBDIR
 * LIBDIR is the directory the plugin must have been loaded from (the
 * packages' library directory in the scratch root); a plugin found anywhere
 * else fails the check. Prints one line per check; exits 0 only when every
 * check passed.
 */
#define _GNU_SOURCE
#include <lbs_consumer_plugin.h>

#include <dlfcn.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures;
static int checks;

static void check(int ok, const char *what)
{
    ++checks;
    if (!ok)
        ++failures;
    printf("%s %s\n", ok ? "ok  " : "FAIL", what);
}

struct host_context {
    int events;
    int last_type;
};

static int on_event(lbs_consumer_event_s *event, void *user_data)
{
    struct host_context *ctx = user_data;
    ++ctx->events;
    ctx->last_type = event != NULL ? event->type : -1;
    return 0;
}

typedef const lbs_consumer_plugin_interface_s *(*entry_fn)(void);

/* 1 when the shared object holding addr was loaded from directory dir. */
static int loaded_from(const void *addr, const char *dir)
{
    Dl_info info;
    char want[PATH_MAX], got[PATH_MAX];
    if (dladdr(addr, &info) == 0 || info.dli_fname == NULL)
        return 0;
    if (realpath(dir, want) == NULL || realpath(info.dli_fname, got) == NULL)
        return 0;
    printf("     plugin loaded from %s\n", got);
    size_t n = strlen(want);
    return strncmp(got, want, n) == 0 && got[n] == '/' && strchr(got + n + 1, '/') == NULL;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s LIBDIR\n", argv[0]);
        return 2;
    }
    const char *libdir = argv[1];
    printf("     built against lbs_consumer_plugin.h %s\n", LBS_CONSUMER_PLUGIN_VERSION);
#ifdef LBS_HOST_EXPECT_VERSION
    check(strcmp(LBS_CONSUMER_PLUGIN_VERSION, LBS_HOST_EXPECT_VERSION) == 0 &&
              LBS_CONSUMER_PLUGIN_VERSION_NUMBER == LBS_CONSUMER_PLUGIN_VERSION_MAJOR * 10000 +
                                                        LBS_CONSUMER_PLUGIN_VERSION_MINOR * 100 +
                                                        LBS_CONSUMER_PLUGIN_VERSION_PATCH,
          "the header's version is the package's");
#endif

#ifdef LBS_HOST_SONAME
    /* The way the location server does it: by soname, through the loader's
     * search path. */
    void *handle = dlopen(LBS_HOST_SONAME, RTLD_NOW | RTLD_LOCAL);
    check(handle != NULL, "dlopen(" LBS_HOST_SONAME ")");
    if (handle == NULL) {
        fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    entry_fn entry;
    void *sym = dlsym(handle, "get_lbs_consumer_plugin_interface");
    memcpy(&entry, &sym, sizeof entry);
    check(entry != NULL, "get_lbs_consumer_plugin_interface is exported");
    if (entry == NULL)
        return 1;
    check(dlsym(handle, "lbs_consumer_plugin_pre_init") == NULL &&
              dlsym(handle, "lbs_consumer_plugin_init") == NULL &&
              dlsym(handle, "lbs_consumer_plugin_bap_init") == NULL,
          "nothing but the entry point is exported");
#else
    entry_fn entry = get_lbs_consumer_plugin_interface;
#endif
    {
        void *addr;
        memcpy(&addr, &entry, sizeof addr);
        check(loaded_from(addr, libdir), "the plugin comes from the installed library directory");
    }

    const lbs_consumer_plugin_interface_s *iface = entry();
    check(iface != NULL, "get_lbs_consumer_plugin_interface returns a table");
    if (iface == NULL)
        return 1;
    check(entry() == iface, "the same table on every call");
    check(iface->init != NULL && iface->deinit != NULL && iface->request != NULL, "all three operations are set");

    struct host_context ctx = {0, -1};
    /* No watch-manager connection: init starts no link and still succeeds. */
    check(iface->init(on_event, &ctx) == 1, "init without a watch-manager connection returns 1");

    tracking_req_info tracking = {CONSUMER_METHOD_GPS, 1, 0};
    check(iface->request(CONSUMER_ACTION_START_SESSION, &tracking) == 0,
          "start session without a link returns 0");
    check(iface->request(CONSUMER_ACTION_CHECK_LOCATION_SETTING, NULL) == 0,
          "location-setting check without a link returns 0");
    ref_time_req_info ref_time = {5};
    check(iface->request(CONSUMER_ACTION_GET_REF_TIME, &ref_time) == 0,
          "reference-time request without a link returns 0");
    check(ctx.events == 0, "no event reaches the host while no link is active");

    check(iface->deinit(NULL) == 1, "deinit returns 1");
    check(iface->request(CONSUMER_ACTION_START_SESSION, &tracking) == 0, "a request after deinit returns 0");
    check(ctx.events == 0, "no event after deinit");

#ifdef LBS_HOST_SONAME
    check(dlclose(handle) == 0, "dlclose");
#endif
    printf("%d of %d checks passed\n", checks - failures, checks);
    return failures == 0 ? 0 : 1;
}
