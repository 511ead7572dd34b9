package orvotest;

import java.io.FileOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;

/**
 * Writes which methods of the test classes ran to the file named by the orvotest.record
 * property, one line each, as the tests state it of the stand-in VM too.
 */
final class Record {
    private Record() {}

    /** "NAME ran". */
    static void ran(String name) { line(name + " ran"); }

    /** "NAME ran with ["0061 0062", ...]": each parameter's UTF-16 units in hex. */
    static void ran(String name, String[] parameters) {
        StringBuilder shown = new StringBuilder("[");
        for (int i = 0; parameters != null && i < parameters.length; ++i) {
            shown.append(i == 0 ? "" : ", ").append(units(parameters[i]));
        }
        line(name + " ran with " + (parameters == null ? "null" : shown.append(']')));
    }

    private static String units(String text) {
        if (text == null) {
            return "null";
        }
        StringBuilder shown = new StringBuilder("\"");
        for (int i = 0; i < text.length(); ++i) {
            shown.append(i == 0 ? "" : " ").append(String.format("%04x", (int) text.charAt(i)));
        }
        return shown.append('"').toString();
    }

    private static synchronized void line(String text) {
        String path = System.getProperty("orvotest.record");
        if (path == null) {
            return;
        }
        try (FileOutputStream out = new FileOutputStream(path, true)) {
            out.write((text + "\n").getBytes(StandardCharsets.UTF_8));
        } catch (IOException e) {
            throw new IllegalStateException(e);
        }
    }
}
