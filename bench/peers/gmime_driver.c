/* The benchmark's work done with GMime 3: parse each message file, then decode every leaf
 * part's content (its transfer encoding undone) into a counting sink.
 *   gmime_driver FILE|DIR...   prints messages, leaf parts and decoded bytes */
#include <dirent.h>
#include <fcntl.h>
#include <gmime/gmime.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static long messages, leaves;
static gint64 decoded;

static void DecodeLeaf(GMimeObject* parent, GMimeObject* part, gpointer sink) {
    (void)parent;
    if (!GMIME_IS_PART(part)) return;
    GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(part));
    ++leaves;
    if (content == NULL) return;
    g_mime_stream_reset(GMIME_STREAM(sink));
    g_mime_data_wrapper_write_to_stream(content, GMIME_STREAM(sink));
    decoded += (gint64)GMIME_STREAM_NULL(sink)->written;
}

static int ProcessFile(const char* path) {
    int fd = open(path, O_RDONLY);
    if (fd < 0) return -1;
    GMimeStream* stream = g_mime_stream_fs_new(fd);
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    g_object_unref(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, NULL);
    g_object_unref(parser);
    if (message == NULL) return -1;
    GMimeStream* sink = g_mime_stream_null_new();
    g_mime_message_foreach(message, DecodeLeaf, sink);
    g_object_unref(sink);
    g_object_unref(message);
    ++messages;
    return 0;
}

static int ProcessPath(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0) return -1;
    if (!S_ISDIR(st.st_mode)) return ProcessFile(path);
    DIR* dir = opendir(path);
    if (dir == NULL) return -1;
    struct dirent* entry;
    char full[4096];
    int result = 0;
    while ((entry = readdir(dir)) != NULL) {
        if (entry->d_name[0] == '.') continue;
        snprintf(full, sizeof full, "%s/%s", path, entry->d_name);
        if (ProcessPath(full) != 0) result = -1;
    }
    closedir(dir);
    return result;
}

int main(int argc, char** argv) {
    g_mime_init();
    int result = 0;
    for (int i = 1; i < argc; ++i)
        if (ProcessPath(argv[i]) != 0) result = 1;
    printf("gmime: %ld messages, %ld leaf parts, %lld bytes decoded\n", messages, leaves, (long long)decoded);
    g_mime_shutdown();
    return result;
}
