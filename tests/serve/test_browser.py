"""The page of "mostfcat serve" in headless Chromium driven by Selenium."""

import shutil

import pytest

from conftest import MARKUP

webdriver = pytest.importorskip("selenium.webdriver", reason="python3-selenium is not installed")
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

CHROMIUM, DRIVER = shutil.which("chromium"), shutil.which("chromedriver")
pytestmark = pytest.mark.skipif(not (CHROMIUM and DRIVER), reason="chromium or chromedriver is missing")


@pytest.fixture(scope="module")
def page(server):
    options = webdriver.ChromeOptions()
    for arg in ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"]:
        options.add_argument(arg)
    options.binary_location = CHROMIUM
    driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    driver.set_page_load_timeout(20)
    driver.get(server)
    wait(driver, lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-ready"))
    yield driver
    driver.quit()


def wait(driver, condition, seconds=20):
    return WebDriverWait(driver, seconds, poll_frequency=0.05).until(condition)


def shown_functions(page):
    return {s.find_element(By.CLASS_NAME, "name").text: s
            for s in reversed(page.find_elements(By.CSS_SELECTOR, ".function > summary")) if s.is_displayed()}


def test_search_filters_outline(page):
    page.find_element(By.ID, "search").send_keys("Balance")
    assert set(shown_functions(page)) == {"Balance"}


def test_markup_in_catalog_stays_text(page):
    shown_functions(page)["Balance"].click()
    assert MARKUP in page.find_element(By.ID, "outline").text
    assert page.execute_script("return window.pwned") is None
    assert not page.find_elements(By.CSS_SELECTOR, "#outline img, #outline script")


def test_select_operation_shows_layout_and_form(page):
    page.find_element(By.CSS_SELECTOR, 'button.op-select[data-message="22.01.402.0"]').click()
    cells = page.find_elements(By.CSS_SELECTOR, "#details table.bitmap td")
    assert [c.text for c in cells] == ["Balance", "Balance"]
    assert wait(page, lambda d: d.find_elements(By.CSS_SELECTOR, '#encode-form [name="Balance"]'))


@pytest.mark.parametrize("value, payload, error", [("-1.5", "FFF1", ""), ("-25", None, "outside the range")])
def test_encoder(page, value, payload, error):
    field = page.find_element(By.CSS_SELECTOR, '#encode-form [name="Balance"]')
    field.clear()
    field.send_keys(value)
    page.find_element(By.ID, "encode-button").click()
    if payload:
        assert wait(page, lambda d: d.find_element(By.ID, "encode-payload").text) == payload
    else:
        note = wait(page, lambda d: field.find_element(By.XPATH, "..").find_element(By.CLASS_NAME, "field-error").text)
        assert error in note and not page.find_elements(By.ID, "encode-payload")


@pytest.mark.parametrize("lines, faults", [
    (["22.01.400.C:3C", "zz", "12.5 22.02.402.C:FF F1", "22.01.999.C:00"], 2),
    (["%d.0 22.01.400.C:%02X" % (i, (i + 60) % 101) for i in range(10000)], 0),
])
def test_decoder(page, lines, faults):
    page.execute_script("document.getElementById('decode-input').value = arguments[0]", "\n".join(lines))
    page.find_element(By.ID, "decode-button").click()
    summary = "%d messages" % len(lines) + (", %d not decoded" % faults if faults else "")
    assert wait(page, lambda d: d.find_element(By.ID, "decode-status").text == summary)
    blocks = page.find_elements(By.CSS_SELECTOR, "#decode-output .msg")
    assert "Volume" in blocks[0].text and "60" in blocks[0].text
    assert len(page.find_elements(By.CSS_SELECTOR, "#decode-output .fault")) == faults
    if len(lines) > len(blocks):  # a long trace grows as it is scrolled through
        page.execute_script("arguments[0].scrollIntoView()", blocks[-1])
        assert wait(page, lambda d: len(d.find_elements(By.CSS_SELECTOR, "#decode-output .msg")) > len(blocks))
