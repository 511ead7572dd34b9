package orvotest;

import java.io.FileOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;

/** Writes what the test classes saw to the file named by the orvotest.record property. */
final class Record {
    private Record() {}

    static synchronized void line(String text) {
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

    /** A call with parameters: their number, then each one's UTF-16 units in hex. */
    static void call(String name, String[] parameters) {
        if (parameters == null) {
            line(name + "(String[]) null");
            return;
        }
        line(name + "(String[]) " + parameters.length);
        for (int i = 0; i < parameters.length; ++i) {
            line("  [" + i + "] " + units(parameters[i]));
        }
    }

    static String units(String text) {
        if (text == null) {
            return "null";
        }
        StringBuilder shown = new StringBuilder("\"");
        for (int i = 0; i < text.length(); ++i) {
            shown.append(i == 0 ? "" : " ").append(String.format("%04x", (int) text.charAt(i)));
        }
        return shown.append('"').toString();
    }
}
