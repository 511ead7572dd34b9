package orvotest;

// A server class whose static initialiser throws, as one that cannot reach its database at
// boot: the Java VM finds the class, and its own code fails while it is loaded.
public final class Static {
    static {
        if (!Boolean.getBoolean("orvotest.static.passes")) {
            throw new IllegalStateException("database down");
        }
    }

    private Static() {}

    public static void start(String[] args) {
        System.out.println("start");
    }

    public static void stop() {
        System.out.println("stop");
    }
}
