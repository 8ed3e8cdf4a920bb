return createQdpCore;
}
