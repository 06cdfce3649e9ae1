/* Clipboard through zwlr_data_control_manager_v1 on a Wayland connection of the module's own.
 *
 * One thread owns the connection: it creates the sources, answers the compositor's `send`
 * events by writing the bytes to the reader's pipe (non-blocking, so a slow reader holds up
 * nobody) and drops an offer when the compositor cancels it. The caller's thread only hands
 * over new offers and wakes the thread.
 *
 * The protocol's interfaces are declared here by hand, so the build needs no scanner and no
 * protocol files. */
#include "modules/wlclip/WlClipModule.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>

static const struct wl_interface source_iface, offer_iface, device_iface, manager_iface;
static const struct wl_interface *types[] = {
    NULL, &source_iface, &device_iface, &wl_seat_interface, &source_iface, &offer_iface};

/* Message numbers are the order in the protocol; the tables keep it. */
enum { MANAGER_CREATE_SOURCE, MANAGER_GET_DEVICE, MANAGER_DESTROY };
enum { DEVICE_SET_SELECTION, DEVICE_DESTROY };
enum { SOURCE_OFFER, SOURCE_DESTROY };
enum { OFFER_RECEIVE, OFFER_DESTROY };

static const struct wl_message manager_requests[] = {
    {"create_data_source", "n", types + 1},
    {"get_data_device", "no", types + 2},
    {"destroy", "", types},
};
static const struct wl_message device_requests[] = {
    {"set_selection", "?o", types + 4},
    {"destroy", "", types},
};
static const struct wl_message device_events[] = {
    {"data_offer", "n", types + 5},
    {"selection", "?o", types + 5},
    {"finished", "", types},
};
static const struct wl_message source_requests[] = {
    {"offer", "s", types},
    {"destroy", "", types},
};
static const struct wl_message source_events[] = {
    {"send", "sh", types},
    {"cancelled", "", types},
};
static const struct wl_message offer_requests[] = {
    {"receive", "sh", types},
    {"destroy", "", types},
};
static const struct wl_message offer_events[] = {
    {"offer", "s", types},
};
static const struct wl_interface manager_iface = {
    "zwlr_data_control_manager_v1", 1, 3, manager_requests, 0, NULL};
static const struct wl_interface device_iface = {
    "zwlr_data_control_device_v1", 1, 2, device_requests, 3, device_events};
static const struct wl_interface source_iface = {
    "zwlr_data_control_source_v1", 1, 2, source_requests, 2, source_events};
static const struct wl_interface offer_iface = {
    "zwlr_data_control_offer_v1", 1, 2, offer_requests, 1, offer_events};

/* The bytes of one offer, shared by its source and the transfers under way. */
struct offer {
    int refs;
    int generation;
    int count;
    char *asked; /* per type: the caller was asked for deferred bytes */
    char **types;
    char **data;
    size_t *sizes;
};

struct transfer {
    int fd;
    struct offer *offer;
    int index;
    size_t done;
    struct transfer *next;
};

/* Bytes the caller handed in for a deferred type. */
struct supply {
    int generation;
    char *type;
    char *data;
    size_t size;
    struct supply *next;
};

struct ZorvWlClip {
    ZorvWlClipRequest request;
    void *userdata;
    struct wl_display *display;
    struct wl_registry *registry;
    struct wl_proxy *manager;
    struct wl_seat *seat;
    struct wl_proxy *device;
    struct wl_proxy *source; /* Zorv's current offer, null when none is the selection */
    struct transfer *transfers;
    int wake;
    pthread_t thread;
    pthread_mutex_t lock; /* guards the fields below */
    struct offer *pending;
    struct supply *supplies;
    int generation;
    int stop;
    int dead;
    int owned;
};

static void release(struct offer *o)
{
    if (!o || --o->refs > 0)
        return;
    for (int i = 0; i < o->count; i++) {
        free(o->types[i]);
        free(o->data[i]);
    }
    free(o->types);
    free(o->asked);
    free(o->data);
    free(o->sizes);
    free(o);
}

static void set_owned(struct ZorvWlClip *c, int owned)
{
    pthread_mutex_lock(&c->lock);
    c->owned = owned;
    pthread_mutex_unlock(&c->lock);
}

/* A source's user data: the module and the bytes it offers. */
struct source_record {
    struct ZorvWlClip *clip;
    struct offer *offer;
};

static void start_transfer(struct ZorvWlClip *c, struct offer *o, const char *type, int fd)
{
    int index = -1;
    for (int i = 0; i < o->count; i++)
        if (strcmp(o->types[i], type) == 0)
            index = i;
    struct transfer *t = index < 0 ? NULL : calloc(1, sizeof *t);
    if (!t) {
        close(fd);
        return;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    t->fd = fd;
    t->offer = o;
    o->refs++;
    t->index = index;
    t->next = c->transfers;
    c->transfers = t;
    if (!o->data[index] && !o->asked[index]) {
        o->asked[index] = 1;
        c->request(c->userdata, o->generation, type);
    }
}

/* Deferred bytes reach the offer they were asked for, if a source or a reader still holds
 * it. */
static void take_supply(struct ZorvWlClip *c, struct supply *s)
{
    struct offer *o = NULL;
    if (c->source) {
        struct source_record *r = wl_proxy_get_user_data(c->source);
        if (r->offer->generation == s->generation)
            o = r->offer;
    }
    for (struct transfer *t = c->transfers; t && !o; t = t->next)
        if (t->offer->generation == s->generation)
            o = t->offer;
    for (int i = 0; o && i < o->count; i++) {
        if (!o->data[i] && strcmp(o->types[i], s->type) == 0) {
            o->data[i] = s->data;
            o->sizes[i] = s->size;
            s->data = NULL;
        }
    }
    free(s->type);
    free(s->data);
    free(s);
}

static void record_send(void *data, struct wl_proxy *source, const char *type, int32_t fd)
{
    struct source_record *r = data;
    start_transfer(r->clip, r->offer, type, fd);
    (void)source;
}

static void record_cancelled(void *data, struct wl_proxy *source)
{
    struct source_record *r = data;
    struct ZorvWlClip *c = r->clip;
    release(r->offer);
    free(r);
    wl_proxy_marshal_flags(source, SOURCE_DESTROY, NULL, 1, WL_MARSHAL_FLAG_DESTROY);
    if (c->source == source) {
        c->source = NULL;
        set_owned(c, 0);
    }
}

static const struct {
    void (*send)(void *, struct wl_proxy *, const char *, int32_t);
    void (*cancelled)(void *, struct wl_proxy *);
} source_listener = {record_send, record_cancelled};

static void device_data_offer(void *data, struct wl_proxy *device, struct wl_proxy *offer) {}

/* Another client's (or our own) offer: never read here. */
static void device_selection(void *data, struct wl_proxy *device, struct wl_proxy *offer)
{
    if (offer)
        wl_proxy_marshal_flags(offer, OFFER_DESTROY, NULL, 1, WL_MARSHAL_FLAG_DESTROY);
}

/* The seat went away: no selection can be set through this device any more. */
static void device_finished(void *data, struct wl_proxy *device)
{
    struct ZorvWlClip *c = data;
    wl_proxy_marshal_flags(device, DEVICE_DESTROY, NULL, 1, WL_MARSHAL_FLAG_DESTROY);
    c->device = NULL;
    pthread_mutex_lock(&c->lock);
    c->dead = 1;
    c->owned = 0;
    pthread_mutex_unlock(&c->lock);
}

static const struct {
    void (*data_offer)(void *, struct wl_proxy *, struct wl_proxy *);
    void (*selection)(void *, struct wl_proxy *, struct wl_proxy *);
    void (*finished)(void *, struct wl_proxy *);
} device_listener = {device_data_offer, device_selection, device_finished};

static void global(void *data, struct wl_registry *r, uint32_t name, const char *iface,
                   uint32_t version)
{
    struct ZorvWlClip *c = data;
    if (strcmp(iface, manager_iface.name) == 0 && !c->manager)
        c->manager = wl_registry_bind(r, name, &manager_iface, 1);
    else if (strcmp(iface, "wl_seat") == 0 && !c->seat)
        c->seat = wl_registry_bind(r, name, &wl_seat_interface, 1);
}

static void global_remove(void *data, struct wl_registry *r, uint32_t name) {}

static const struct wl_registry_listener registry_listener = {global, global_remove};

static void offer_now(struct ZorvWlClip *c, struct offer *o)
{
    /* A source replaced by this one is cancelled by the compositor, which releases it. */
    struct source_record *r = calloc(1, sizeof *r);
    if (!r) {
        release(o);
        return;
    }
    r->clip = c;
    r->offer = o;
    struct wl_proxy *source =
        wl_proxy_marshal_flags(c->manager, MANAGER_CREATE_SOURCE, &source_iface, 1, 0, NULL);
    wl_proxy_add_listener(source, (void (**)(void)) & source_listener, r);
    for (int i = 0; i < o->count; i++)
        wl_proxy_marshal_flags(source, SOURCE_OFFER, NULL, 1, 0, o->types[i]);
    wl_proxy_marshal_flags(c->device, DEVICE_SET_SELECTION, NULL, 1, 0, source);
    c->source = source;
    set_owned(c, 1);
}

static void end_transfer(struct ZorvWlClip *c, struct transfer *t)
{
    struct transfer **p = &c->transfers;
    while (*p != t)
        p = &(*p)->next;
    *p = t->next;
    close(t->fd);
    release(t->offer);
    free(t);
}

/* A reader that closed its end makes write() fail with EPIPE; the signal that comes with it
 * is blocked in this thread and taken here, so that it never reaches the process. */
static void swallow_sigpipe(void)
{
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    struct timespec zero = {0, 0};
    while (sigtimedwait(&pipe, NULL, &zero) > 0) {
    }
}

static void pump(struct ZorvWlClip *c, struct transfer *t)
{
    const struct offer *o = t->offer;
    size_t size = o->sizes[t->index];
    while (t->done < size) {
        ssize_t n = write(t->fd, o->data[t->index] + t->done, size - t->done);
        if (n > 0) {
            t->done += (size_t)n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        if (n < 0 && errno == EPIPE)
            swallow_sigpipe();
        break;
    }
    end_transfer(c, t);
}

static void *run(void *data)
{
    struct ZorvWlClip *c = data;
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, NULL);

    for (;;) {
        pthread_mutex_lock(&c->lock);
        int stop = c->stop;
        struct offer *next = c->pending;
        c->pending = NULL;
        struct supply *supplies = c->supplies;
        c->supplies = NULL;
        pthread_mutex_unlock(&c->lock);
        while (supplies) {
            struct supply *s = supplies;
            supplies = s->next;
            take_supply(c, s);
        }
        if (stop) {
            release(next);
            break;
        }
        if (next && c->device)
            offer_now(c, next);
        else
            release(next);

        while (wl_display_prepare_read(c->display) != 0)
            wl_display_dispatch_pending(c->display);
        if (wl_display_flush(c->display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(c->display);
            break;
        }
        int count = 0;
        for (struct transfer *t = c->transfers; t; t = t->next)
            count++;
        struct pollfd *fds = calloc((size_t)count + 2, sizeof *fds);
        struct transfer **polled = calloc((size_t)count + 2, sizeof *polled);
        if (!fds || !polled) {
            free(fds);
            free(polled);
            wl_display_cancel_read(c->display);
            break;
        }
        fds[0] = (struct pollfd){wl_display_get_fd(c->display), POLLIN, 0};
        fds[1] = (struct pollfd){c->wake, POLLIN, 0};
        int n = 2;
        /* Readers of deferred bytes wait, unpolled, until the bytes come. */
        for (struct transfer *t = c->transfers; t; t = t->next) {
            if (t->offer->data[t->index]) {
                polled[n] = t;
                fds[n++] = (struct pollfd){t->fd, POLLOUT, 0};
            }
        }
        int ready = poll(fds, (nfds_t)n, -1);
        int failed = ready < 0 && errno != EINTR;
        if (!failed && ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            failed = wl_display_read_events(c->display) < 0;
        else
            wl_display_cancel_read(c->display);
        if (!failed)
            failed = wl_display_dispatch_pending(c->display) < 0;
        if (!failed && ready > 0) {
            if (fds[1].revents) {
                eventfd_t ignored;
                eventfd_read(c->wake, &ignored);
            }
            /* Readers that came while dispatching are not in this poll. */
            for (int k = 2; k < n; k++)
                if (fds[k].revents)
                    pump(c, polled[k]);
        }
        free(fds);
        free(polled);
        if (failed)
            break;
    }
    pthread_mutex_lock(&c->lock);
    c->dead = 1;
    c->owned = 0;
    pthread_mutex_unlock(&c->lock);
    return NULL;
}

static void teardown(struct ZorvWlClip *c)
{
    while (c->transfers)
        end_transfer(c, c->transfers);
    if (c->source) {
        struct source_record *r = wl_proxy_get_user_data(c->source);
        release(r->offer);
        free(r);
        wl_proxy_destroy(c->source);
    }
    if (c->device)
        wl_proxy_destroy(c->device);
    if (c->manager)
        wl_proxy_destroy(c->manager);
    if (c->seat)
        wl_proxy_destroy((struct wl_proxy *)c->seat);
    if (c->registry)
        wl_registry_destroy(c->registry);
    if (c->display)
        wl_display_disconnect(c->display);
    if (c->wake >= 0)
        close(c->wake);
    pthread_mutex_destroy(&c->lock);
    free(c);
}

ZORV_WLCLIP_EXPORT ZorvWlClip *zorv_wlclip_open(ZorvWlClipRequest request, void *userdata,
                                                char *error, int errorSize)
{
    struct ZorvWlClip *c = calloc(1, sizeof *c);
    if (!c) {
        snprintf(error, (size_t)errorSize, "out of memory");
        return NULL;
    }
    c->request = request;
    c->userdata = userdata;
    c->wake = -1;
    pthread_mutex_init(&c->lock, NULL);
    c->display = wl_display_connect(NULL);
    if (!c->display) {
        snprintf(error, (size_t)errorSize, "cannot connect to the Wayland display");
        teardown(c);
        return NULL;
    }
    c->registry = wl_display_get_registry(c->display);
    wl_registry_add_listener(c->registry, &registry_listener, c);
    if (wl_display_roundtrip(c->display) < 0) {
        snprintf(error, (size_t)errorSize, "the Wayland display did not answer");
        teardown(c);
        return NULL;
    }
    if (!c->manager || !c->seat) {
        snprintf(error, (size_t)errorSize, "the compositor offers no %s",
                 c->manager ? "seat" : "data-control protocol");
        teardown(c);
        return NULL;
    }
    c->device =
        wl_proxy_marshal_flags(c->manager, MANAGER_GET_DEVICE, &device_iface, 1, 0, NULL, c->seat);
    wl_proxy_add_listener(c->device, (void (**)(void)) & device_listener, c);
    c->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (c->wake < 0 || wl_display_roundtrip(c->display) < 0 || !c->device) {
        snprintf(error, (size_t)errorSize, "the compositor refused a data-control device");
        teardown(c);
        return NULL;
    }
    if (pthread_create(&c->thread, NULL, run, c) != 0) {
        snprintf(error, (size_t)errorSize, "cannot start the clipboard thread");
        teardown(c);
        return NULL;
    }
    return c;
}

ZORV_WLCLIP_EXPORT int zorv_wlclip_set(ZorvWlClip *c, int count, const char *const *types_,
                                       const char *const *data, const size_t *sizes)
{
    struct offer *o = calloc(1, sizeof *o);
    if (!o)
        return -1;
    o->refs = 1;
    o->types = calloc((size_t)count + 1, sizeof *o->types);
    o->asked = calloc((size_t)count + 1, sizeof *o->asked);
    o->data = calloc((size_t)count + 1, sizeof *o->data);
    o->sizes = calloc((size_t)count + 1, sizeof *o->sizes);
    if (!o->types || !o->asked || !o->data || !o->sizes) {
        release(o);
        return -1;
    }
    for (int i = 0; i < count; i++) {
        o->types[i] = strdup(types_[i]);
        o->count = i + 1;
        if (!o->types[i]) {
            release(o);
            return -1;
        }
        if (!data || !data[i])
            continue;
        o->data[i] = malloc(sizes[i] ? sizes[i] : 1);
        if (!o->data[i]) {
            release(o);
            return -1;
        }
        memcpy(o->data[i], data[i], sizes[i]);
        o->sizes[i] = sizes[i];
    }
    pthread_mutex_lock(&c->lock);
    int dead = c->dead;
    struct offer *old = c->pending;
    int generation = -1;
    if (!dead) {
        generation = o->generation = ++c->generation;
        c->pending = o;
        o = NULL;
    }
    pthread_mutex_unlock(&c->lock);
    release(old);
    release(o);
    if (!dead)
        eventfd_write(c->wake, 1);
    return generation;
}

ZORV_WLCLIP_EXPORT void zorv_wlclip_supply(ZorvWlClip *c, int generation, const char *type,
                                           const char *data, size_t size)
{
    struct supply *s = calloc(1, sizeof *s);
    if (!s)
        return;
    s->generation = generation;
    s->type = strdup(type);
    s->data = malloc(size ? size : 1);
    if (!s->type || !s->data) {
        free(s->type);
        free(s->data);
        free(s);
        return;
    }
    if (data)
        memcpy(s->data, data, size);
    s->size = data ? size : 0;
    pthread_mutex_lock(&c->lock);
    s->next = c->supplies;
    c->supplies = s;
    pthread_mutex_unlock(&c->lock);
    eventfd_write(c->wake, 1);
}

ZORV_WLCLIP_EXPORT int zorv_wlclip_owned(ZorvWlClip *c)
{
    pthread_mutex_lock(&c->lock);
    int owned = c->owned || c->pending;
    pthread_mutex_unlock(&c->lock);
    return owned;
}

ZORV_WLCLIP_EXPORT void zorv_wlclip_close(ZorvWlClip *c)
{
    if (!c)
        return;
    pthread_mutex_lock(&c->lock);
    c->stop = 1;
    pthread_mutex_unlock(&c->lock);
    eventfd_write(c->wake, 1);
    pthread_join(c->thread, NULL);
    release(c->pending);
    while (c->supplies) {
        struct supply *s = c->supplies;
        c->supplies = s->next;
        free(s->type);
        free(s->data);
        free(s);
    }
    teardown(c);
}
